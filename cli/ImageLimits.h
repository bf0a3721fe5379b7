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

}  // namespace cli
