// PNG and TIFF files written byte by byte, so that a test controls every
// field, including the ones a real encoder would never get wrong.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/PictureFiles.h"

namespace tool_testing {

// Line art over noise: nothing in it compresses, every row has black.
SPicture NoisyPage(int width, int height, uint32_t seed);

// A whole, valid file of an RGB picture (PNG: stored deflate blocks; TIFF:
// one uncompressed strip, little-endian).
std::string PngFile(const SPicture& picture);
std::string TiffFile(const SPicture& picture);

// An RGB PNG whose colour key (tRNS) makes `key` transparent.
std::string PngWithColourKey(const SPicture& picture, uint16_t red, uint16_t green, uint16_t blue);

// An animated PNG (APNG) whose acTL chunk declares `declaredFrames`: the
// still image is its first frame when `stillIsAFrame`, and `frame` follows
// as one more.
std::string AnimatedPng(const SPicture& still, const SPicture& frame, uint32_t declaredFrames,
                        bool stillIsAFrame = true);

// A whole small PNG with, before its pixels, a text chunk whose length
// field claims `claimed` bytes, followed by only a few.
std::string PngWithChunkClaiming(uint32_t claimed);

// Files that declare a picture of this size but carry almost none of it.
std::string PngDeclaring(uint32_t width, uint32_t height);
// TIFF: `compression` is the tag's value, whether or not a codec exists;
// `carried` bytes of zeros follow the header.
std::string TiffDeclaring(uint32_t width, uint32_t height, uint16_t compression = 1, size_t carried = 300);

// A TIFF of one strip: `data` right after the header, with StripByteCounts
// claiming `declaredBytes` and StripOffsets `offset` (0: where `data` is).
std::string TiffStrip(uint32_t width, uint32_t height, uint16_t compression, uint32_t declaredBytes,
                      const std::string& data, uint32_t offset = 0);

// A whole, valid PNG of a black page, its pixels deflated about 160 to 1
// (each row a filter byte and zeros, as one long run): a few megabytes
// that honestly hold gigabytes of pixels; with alpha, wholly transparent.
std::string BlackPng(uint32_t width, uint32_t height, bool alpha = false);

// A TIFF of a few pixels whose one tile declares tileSide x tileSide
// pixels, and carries `carried` bytes of zeros.
std::string TiffWithOneTile(uint32_t width, uint32_t height, uint32_t tileSide, uint16_t compression = 1,
                            uint32_t carried = 3000);

// TiffFile's picture, with the entry for `tag` claiming `count` values.
std::string TiffWithEntryCount(const SPicture& picture, uint16_t tag, uint32_t count);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

}  // namespace tool_testing
