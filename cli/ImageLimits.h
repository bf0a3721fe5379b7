// What the plug-in can take, and the words for what it cannot: the same
// reasons whichever file format brought the image.
#pragma once

#include <cstdint>
#include <string>

namespace cli {

// The host interface gives image sizes as 16-bit signed numbers.
constexpr uint32_t kMaxSide = 32767;

[[noreturn]] void RejectGrayscale();
[[noreturn]] void RejectPalette();
[[noreturn]] void RejectLab();
[[noreturn]] void RejectColourModel(const std::string& name);
[[noreturn]] void RejectSampleBits(int bits);

// Throws unless both sides are between 1 and kMaxSide.
void CheckSize(uint64_t width, uint64_t height);

// The raster is allocated whole before the first row is decoded, so a file
// of a few hundred bytes that declares 32767 x 32767 pixels would take four
// gigabytes. No file can expand beyond what its compression allows (deflate
// at most 1032 to 1); one that claims more is damaged, and is refused as
// such before anything is allocated. Throws CImageError naming `format`.
void CheckFileCanHold(uint64_t rawBytes, uint64_t fileBytes, uint64_t maxExpansion, const char* format);

}  // namespace cli
