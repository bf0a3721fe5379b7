#include "cli/ImageLimits.h"

#include "cli/ImageError.h"

namespace cli {

namespace {

const char* const kWhatFits = " (only 8-bit RGB and CMYK images can be flatted)";

}  // namespace

void RejectColourModel(const std::string& name) {
    throw CImageError(name + " images are not supported" + kWhatFits);
}

void RejectGrayscale() { RejectColourModel("grayscale"); }
void RejectPalette() { RejectColourModel("palette (indexed-colour)"); }
void RejectLab() { RejectColourModel("Lab"); }

void RejectSampleBits(int bits) {
    throw CImageError(std::to_string(bits) + "-bit samples are not supported" + kWhatFits);
}

void CheckSize(uint64_t width, uint64_t height) {
    if (width == 0 || height == 0) throw CImageError("the image has no pixels");
    if (width > kMaxSide || height > kMaxSide)
        throw CImageError(std::to_string(width) + " x " + std::to_string(height) + " pixels is more than " +
                          std::to_string(kMaxSide) + " pixels on a side");
}

void CheckFileCanHold(uint64_t rawBytes, uint64_t fileBytes, uint64_t maxExpansion, const char* format) {
    // Overflow is no concern: files stay far below 2^40 bytes, expansions 2^16.
    if (rawBytes > fileBytes * maxExpansion)
        throw CImageError(std::string("truncated or damaged ") + format + " file (" + std::to_string(fileBytes) +
                          " bytes cannot hold the pixels it declares)");
}

}  // namespace cli
