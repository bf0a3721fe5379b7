// What `vandrel autoflat` was asked for, beside the files: each value left
// out of the command line keeps the library's own default.
#pragma once

#include <optional>
#include <string>

namespace cli {

enum class ESpotBlackChoice { Regions, Lines };

// As the value of --hints, --like or --regions: every page its own, named
// after it (see HintsBeside, LikeBeside and MapBeside), in a batch as for
// one page.
inline constexpr const char* kEachPage = "each";

struct SAutoflatOptions {
    std::optional<int> gap;         // pixels
    std::optional<long> minRegion;  // pixels
    std::optional<int> threshold;   // line strength 1..255 at which a pixel is line art
    ESpotBlackChoice spotBlacks = ESpotBlackChoice::Regions;
    std::string hints;    // a second page whose coloured pixels are hints, or kEachPage
    std::string like;     // the page's earlier flats, whose colours the regions keep, or kEachPage
    std::string palette;  // .gpl or #rrggbb lines
    std::string regions;  // the label map's path (.png), or kEachPage; its palette goes beside it as .gpl
    bool keepLines = false;
};

}  // namespace cli
