// The pages a command line names: files as they are, and for a folder the
// images directly in it.
#pragma once

#include <string>
#include <vector>

namespace cli {

struct SInputList {
    std::vector<std::string> pages;
    std::vector<std::string> problems;  // one line each, a folder with no page in it
};

// A folder stands for its PNG and TIFF files by name (.png, .tif, .tiff),
// sorted, without those below it and without hidden ones. Files whose name
// ends in `suffix` before the extension are the results of an earlier run
// and are left out, so that flatting a folder twice does not flat its flats.
SInputList ListInputs(const std::vector<std::string>& named, const std::string& suffix);

// Where a page's result goes: into `outDir`, or beside the page when it is
// empty, named as the page with `suffix` before the extension.
std::string OutputBeside(const std::string& page, const std::string& outDir, const std::string& suffix);

}  // namespace cli
