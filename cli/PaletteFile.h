// The colours a user allows for the regions: a GIMP palette (.gpl) or a
// plain list of hex colours, one "#rrggbb" a line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

struct SPaletteColour {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const SPaletteColour&) const = default;
};

// The distinct colours in the order the file gives them. Throws CImageError
// naming the line at fault; a colour the melt would take for line art
// (every channel at most 8) is refused, since its region would vanish.
std::vector<SPaletteColour> ParsePalette(const std::string& text);

// ParsePalette on a regular file's bytes. Throws CImageError.
std::vector<SPaletteColour> ReadPaletteFile(const std::string& path);

// A GIMP palette of `colours`, each named by its index, so that the file
// can be read back with --palette as well as by GIMP and Krita.
std::string GimpPaletteText(const std::string& name, const std::vector<SPaletteColour>& colours);

}  // namespace cli
