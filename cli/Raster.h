// An image as the tool holds it between the file and the plug-in: 8-bit
// samples, interleaved, with what the file said about itself that must
// survive the round trip.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/HostImage.h"

namespace cli {

// Gray comes only from a reader asked for line art (SCodecOptions::lineArt):
// the plug-in never sees it.
enum class EColourModel { Rgb, Cmyk, Gray };

// Resolution kept in the unit the file used, so a file written back in its
// own format carries exactly the numbers it came with.
enum class EResolutionUnit { None, Inch, Centimetre, Metre };

struct SResolution {
    double x = 0;
    double y = 0;
    EResolutionUnit unit = EResolutionUnit::None;  // None with x, y > 0: only the aspect is known
    bool present = false;

    // Meaningless for EResolutionUnit::None, where only the ratio counts.
    double PerMetre(double value) const {
        switch (unit) {
            case EResolutionUnit::Inch:
                return value / 0.0254;
            case EResolutionUnit::Centimetre:
                return value * 100.0;
            default:
                return value;
        }
    }
};

// PNG colour facts besides the ICC profile; TIFF has no place for them.
struct SPngColourChunks {
    bool hasSrgb = false;
    int srgbIntent = 0;
    bool hasGamma = false;
    double gamma = 0;
    bool hasChromaticities = false;
    double white[2]{}, red[2]{}, green[2]{}, blue[2]{};
    bool hasTransparentColour = false;  // an RGB colour key (tRNS)
    uint16_t transparent[3]{};
};

struct SRaster {
    int width = 0;
    int height = 0;
    EColourModel model = EColourModel::Rgb;
    bool hasAlpha = false;  // one extra plane after the colour planes, never flatted
    // Interleaved samples, ColourPlanes() (+1 with alpha) per pixel. CMYK
    // samples are ink amounts, 255 meaning full ink, as TIFF stores them.
    // Kept in the simulator's own kind of block, so that the host can lend
    // these very bytes to the plug-in.
    sim::CHostImage pixels;

    SResolution resolution;
    std::string iccProfile;  // raw bytes; empty when the file had none
    std::string iccName;     // PNG keeps a name with the profile
    SPngColourChunks pngColour;
    // A PNG's eXIf chunk as it came: the camera's or the scanner's
    // orientation among it, which a PNG output keeps.
    std::string pngExif;
    int tiffOrientation = 1;
    int tiffCompression = 0;  // 0: none recorded (not from a TIFF)
    int tiffPredictor = 1;
    std::string readWarning;  // what the reader had to leave out, for the user

    int ColourPlanes() const { return model == EColourModel::Cmyk ? 4 : model == EColourModel::Gray ? 1 : 3; }
    int Planes() const { return ColourPlanes() + (hasAlpha ? 1 : 0); }
    size_t RowBytes() const { return size_t(width) * size_t(Planes()); }
};

}  // namespace cli
