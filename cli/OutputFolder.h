// The folder the outputs go to, checked before the first page is read: a
// batch of large pages should not be read and flatted one by one only to
// find that none of them can be written.
#pragma once

#include <string>
#include <vector>

namespace cli {

class COutputFolder {
public:
    // With `make`, makes the folder and the missing folders above it.
    // Throws CImageError when it is missing (and not to be made), cannot
    // be made, is not a folder, or cannot take a new file.
    COutputFolder(const std::string& folder, bool make);

    // Removes the folders this run made, deepest first, as long as they
    // are empty: a batch in which every page failed leaves nothing behind.
    void RemoveIfEmpty();

private:
    std::vector<std::string> made_;  // outermost first
};

}  // namespace cli
