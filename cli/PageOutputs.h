// The files one page gives (its flats, and a region map and its palette
// when asked): each written under a temporary name, and all put in place
// in one step that a second Ctrl-C does not split, so that finding one of
// them means finding the others.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/SafeOutput.h"

namespace cli {

class CPageOutputs {
public:
    explicit CPageOutputs(bool overwrite) : overwrite_(overwrite) {}

    // Opens `target`'s temporary file; returns its descriptor. Throws CImageError.
    int Add(const std::string& target);

    // Puts every file in place, in the order added, and owes stdout their
    // lines until they are listed. A file that cannot be put in place takes
    // back the ones before it. Throws CImageError.
    void Commit();

private:
    bool overwrite_;
    std::vector<std::unique_ptr<CSafeOutput>> files_;
};

}  // namespace cli
