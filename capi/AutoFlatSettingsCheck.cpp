#include "capi/AutoFlatSettingsCheck.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

#include "engine/FlatStrip.h"

namespace {

// The flat filter's own test for black, on the entry as the host would
// hold it (CMYK as 255 minus the ink): a region of that colour would be
// taken for line art by the next flat and melted away.
bool IsBlackEntry(const uint8_t* entry, bool cmyk) {
    uint8_t pixel[4] = {entry[0], entry[1], entry[2], entry[3]};
    if (cmyk)
        for (uint8_t& sample : pixel) sample = uint8_t(255 - sample);
    return IsBlackPixel(pixel, 1, cmyk ? 4 : 3, cmyk);
}

}  // namespace

std::string RefusedSettings(const VandrelAutoFlatSettings& settings, bool cmyk) {
    // Only 0 stands for "choose for me"; any other value below it is a
    // mistake the caller should hear about.
    if (settings.gap < 0) return "the gap must be 0 (chosen from the page) or more";
    if (settings.workers < 0) return "the worker count must be 0 (every processor) or more";
    if (!(settings.dpi >= 0) || !std::isfinite(settings.dpi))
        return "the resolution must be 0 (unknown) or more dots per inch";
    if (settings.threshold < 1 || settings.threshold > 255) return "the threshold must be 1 to 255";
    if (settings.paletteCount < 0 || (settings.paletteCount > 0 && !settings.palette))
        return "the palette count does not match the palette";
    for (int32_t i = 0; i < settings.paletteCount; ++i)
        if (IsBlackEntry(settings.palette + 4 * std::size_t(i), cmyk)) {
            // Not std::to_string: its digit table would be exported with
            // the interface's own names.
            char text[96];
            std::snprintf(text, sizeof text,
                          "palette colour %d is so dark it would be taken for line art and melted away",
                          i + 1);
            return text;
        }
    return {};
}
