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

    const std::string& Target() const { return target_; }

    // Flushes the file to disk and closes it. Throws CImageError.
    void Flush();
    // Renames the flushed file to the target; called in a held step (see
    // CStopHeld). Without `overwrite` an existing target is never
    // replaced, even one that appeared while the file was being written.
    // Throws CImageError.
    void PutInPlace();
    // Takes a file put in place away again: the page it belongs to could
    // not be put in place whole.
    void Withdraw();
    // Makes the rename itself durable.
    void SyncFolder() const;

private:
    void Discard();

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    int cleanupSlot_ = -1;
    bool overwrite_ = false;
    bool committed_ = false;
};

}  // namespace cli
