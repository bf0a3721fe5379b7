// An output file that appears only whole: written under a temporary name
// in the target's own folder (so the final rename stays on one file
// system and is atomic) and renamed into place once complete.
#pragma once

#include <string>

namespace cli {

class CSafeOutput {
public:
    // Creates the temporary file. Throws CImageError.
    CSafeOutput(const std::string& target, bool overwrite);
    // Removes the temporary file unless it was committed.
    ~CSafeOutput();
    CSafeOutput(const CSafeOutput&) = delete;
    CSafeOutput& operator=(const CSafeOutput&) = delete;

    int Fd() const { return fd_; }
    const std::string& TempPath() const { return temp_; }

    // Flushes the file to disk and renames it to the target. Without
    // `overwrite` an existing target is never replaced, even one that
    // appeared while the file was being written. Throws CImageError.
    void Commit();

private:
    void Discard();

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool overwrite_ = false;
    bool committed_ = false;
};

}  // namespace cli
