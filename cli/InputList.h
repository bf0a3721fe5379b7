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
// and are left out, so that flatting a folder twice does not flat its flats;
// so are those ending in one of `companions`, a page's hints or maps.
SInputList ListInputs(const std::vector<std::string>& named, const std::string& suffix,
                      const std::vector<std::string>& companions = {});

// Where a page's result goes: into `outDir`, or beside the page when it is
// empty, named as the page with `suffix` before the extension.
std::string OutputBeside(const std::string& page, const std::string& outDir, const std::string& suffix);

// A page's own hints page, NAME-hints.png beside NAME.png (or .tif), and its
// region map, NAME-map.png beside its result `output`.
inline constexpr const char* kHintsSuffix = "-hints";
inline constexpr const char* kMapSuffix = "-map";
std::string HintsBeside(const std::string& page);
// A page's earlier flats: NAME-flats beside NAME.png (or .tif), where a run
// without -o or --out-dir put them, in the page's own format or else PNG or
// TIFF; empty when there are none.
inline constexpr const char* kFlatsSuffix = "-flats";
std::string LikeBeside(const std::string& page);
std::string MapBeside(const std::string& page, const std::string& output);

}  // namespace cli
