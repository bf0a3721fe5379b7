// What `vandrel autoflat` was asked for, beside the files: each value left
// out of the command line keeps the library's own default.
#pragma once

#include <optional>
#include <string>

namespace cli {

enum class ESpotBlackChoice { Regions, Lines };

struct SAutoflatOptions {
    std::optional<int> gap;         // pixels
    std::optional<long> minRegion;  // pixels
    std::optional<int> threshold;   // line strength 1..255 at which a pixel is line art
    ESpotBlackChoice spotBlacks = ESpotBlackChoice::Regions;
    std::string hints;    // a second page whose coloured pixels are hints
    std::string palette;  // .gpl or #rrggbb lines
    std::string regions;  // the label map's path (.png); its palette goes beside it as .gpl
    bool keepLines = false;
};

}  // namespace cli
