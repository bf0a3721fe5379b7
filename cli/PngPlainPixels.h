// The pixels of a plain PNG (8-bit samples, not interlaced, no palette),
// inflated by libdeflate in one call: on flat colour many times quicker than
// zlib's inflate, which libpng is tied to.
#pragma once

#include <cstdint>
#include <cstdio>

#include "cli/CodecOptions.h"

namespace cli {

struct SPlainPng {
    uint32_t width = 0, height = 0;
    int channels = 0;           // samples a pixel: 1 to 4
    uint8_t* pixels = nullptr;  // height rows of width * channels bytes
};

// Reads from `file`, which stands just after the first IDAT chunk's length
// and type (where libpng's reading of the header stops), to the IEND chunk.
// True when every pixel was written. False for anything but a clean file
// whose only chunks after the header are its IDATs and an IEND: a CRC or
// stream that does not check out, a filter it does not know, data left over
// or missing, any other chunk, an interruption. The file's position is then
// where it was, and libpng reads it as it always did, so that its verdict
// and its messages on every such file stand.
bool ReadPlainPngPixels(FILE* file, const SPlainPng& png, const SCodecOptions& options);

}  // namespace cli
