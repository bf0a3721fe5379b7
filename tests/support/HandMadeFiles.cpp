#include "tests/support/HandMadeFiles.h"

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace tool_testing {

namespace {

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

uint32_t Adler32(const std::string& bytes) {
    uint32_t a = 1, b = 0;
    for (unsigned char c : bytes) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void Big32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += char((v >> shift) & 0xFF);
}

void Little16(std::string& out, uint16_t v) {
    out += char(v & 0xFF);
    out += char(v >> 8);
}

void Little32(std::string& out, uint32_t v) {
    Little16(out, uint16_t(v));
    Little16(out, uint16_t(v >> 16));
}

std::string Chunk(const char* type, const std::string& data) {
    std::string body = std::string(type, 4) + data;
    std::string out;
    Big32(out, uint32_t(data.size()));
    out += body;
    Big32(out, Crc32(body));
    return out;
}

std::string Ihdr(uint32_t width, uint32_t height, bool alpha = false) {
    std::string data;
    Big32(data, width);
    Big32(data, height);
    data += char(8);              // bits per sample
    data += char(alpha ? 6 : 2);  // RGBA or RGB
    data += std::string(3, '\0');
    return data;
}

// zlib stream of stored blocks: no compression, any length.
std::string Stored(const std::string& raw) {
    std::string out = "\x78\x01";
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - at, 65535);
        out += char(at + n == raw.size() ? 1 : 0);
        Little16(out, uint16_t(n));
        Little16(out, uint16_t(~n));
        out.append(raw, at, n);
        at += n;
    } while (at < raw.size());
    Big32(out, Adler32(raw));
    return out;
}

// Deflate's bits go least significant first; its Huffman codes most
// significant first.
class CBitWriter {
public:
    void Bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) Bit((value >> i) & 1u);
    }
    void Code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1u);
    }
    std::string Take() {
        if (used_) out_ += char(byte_);
        byte_ = 0;
        used_ = 0;
        return std::move(out_);
    }

private:
    void Bit(uint32_t bit) {
        byte_ |= uint8_t(bit << used_);
        if (++used_ == 8) {
            out_ += char(byte_);
            byte_ = 0;
            used_ = 0;
        }
    }
    std::string out_;
    uint8_t byte_ = 0;
    int used_ = 0;
};

// zlib stream of `count` zero bytes in one block of deflate's fixed codes:
// a literal zero, then copies of 258 bytes from one byte back.
std::string Zeros(uint64_t count) {
    CBitWriter bits;
    bits.Bits(1, 1);  // the last block
    bits.Bits(1, 2);  // fixed codes
    auto literalZero = [&] { bits.Code(0x30, 8); };
    literalZero();
    uint64_t left = count - 1;
    for (; left >= 258; left -= 258) {
        bits.Code(0xC5, 8);  // length 258 (code 285)
        bits.Code(0, 5);     // distance 1
    }
    for (; left > 0; --left) literalZero();
    bits.Code(0, 7);  // end of block
    std::string out = "\x78\x01" + bits.Take();
    // adler32 of zeros: the first sum stays 1, the second grows by 1 a byte.
    Big32(out, uint32_t((count % 65521) << 16 | 1));
    return out;
}

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

struct STiffEntry {
    uint16_t tag, type;
    uint32_t count, value;
};

// A classic little-endian 8-bit RGB TIFF whose data sits at `dataOffset`,
// as one strip or as one tile.
std::vector<STiffEntry> TiffEntries(uint32_t width, uint32_t height, uint16_t compression,
                                    uint32_t dataOffset, uint32_t dataBytes, uint32_t tileSide) {
    std::vector<STiffEntry> entries = {
        {256, 4, 1, width},        // ImageWidth
        {257, 4, 1, height},       // ImageLength
        {258, 3, 1, 8},            // BitsPerSample (one value for all three)
        {259, 3, 1, compression},  // Compression
        {262, 3, 1, 2},            // RGB
    };
    if (tileSide == 0) {
        entries.insert(entries.end(), {
                                          {273, 4, 1, dataOffset},  // StripOffsets
                                          {277, 3, 1, 3},           // SamplesPerPixel
                                          {278, 4, 1, height},      // RowsPerStrip
                                          {279, 4, 1, dataBytes},   // StripByteCounts
                                          {284, 3, 1, 1},           // chunky
                                      });
    } else {
        entries.insert(entries.end(), {
                                          {277, 3, 1, 3},           // SamplesPerPixel
                                          {284, 3, 1, 1},           // chunky
                                          {322, 4, 1, tileSide},    // TileWidth
                                          {323, 4, 1, tileSide},    // TileLength
                                          {324, 4, 1, dataOffset},  // TileOffsets
                                          {325, 4, 1, dataBytes},   // TileByteCounts
                                      });
    }
    return entries;
}

std::string TiffHeader(const std::vector<STiffEntry>& entries) {
    std::string out = "II";
    Little16(out, 42);
    Little32(out, 8);
    Little16(out, uint16_t(entries.size()));
    for (const STiffEntry& e : entries) {
        Little16(out, e.tag);
        Little16(out, e.type);
        Little32(out, e.count);
        if (e.type == 3) {
            Little16(out, uint16_t(e.value));
            Little16(out, 0);
        } else {
            Little32(out, e.value);
        }
    }
    Little32(out, 0);
    return out;
}

// The header, then `data` right after it; the header points at `offset`
// when one is given.
std::string TiffWith(uint32_t width, uint32_t height, uint16_t compression, uint32_t tileSide,
                     uint32_t declaredBytes, const std::string& data, uint32_t offset = 0) {
    if (offset == 0)
        offset = uint32_t(TiffHeader(TiffEntries(width, height, compression, 0, 0, tileSide)).size());
    return TiffHeader(TiffEntries(width, height, compression, offset, declaredBytes, tileSide)) + data;
}

}  // namespace

SPicture NoisyPage(int width, int height, uint32_t seed) {
    std::mt19937 random(seed);
    SPicture p{width, height, 3, std::vector<uint8_t>(size_t(width) * height * 3)};
    for (auto& v : p.samples) v = uint8_t(64 + random() % 192);
    for (int y = 0; y < height; ++y)
        for (int k = 0; k < 3; ++k) p.samples[(size_t(y) * width + width / 2) * 3 + k] = 0;
    return p;
}

namespace {

// The picture's rows, each behind its filter byte, deflated.
std::string PngPixels(const SPicture& picture) {
    std::string raw;
    for (int y = 0; y < picture.height; ++y) {
        raw += '\0';  // filter: none
        raw.append(reinterpret_cast<const char*>(picture.samples.data()) + size_t(y) * picture.width * 3,
                   size_t(picture.width) * 3);
    }
    return Stored(raw);
}

std::string PngHead(const SPicture& picture) {
    return std::string(kPngSignature, 8) +
           Chunk("IHDR", Ihdr(uint32_t(picture.width), uint32_t(picture.height)));
}

}  // namespace

std::string PngFile(const SPicture& picture) {
    return PngHead(picture) + Chunk("IDAT", PngPixels(picture)) + Chunk("IEND", "");
}

std::string PngWithColourKey(const SPicture& picture, uint16_t red, uint16_t green, uint16_t blue) {
    std::string key;
    for (uint16_t v : {red, green, blue}) key += {char(v >> 8), char(v & 0xFF)};
    return PngHead(picture) + Chunk("tRNS", key) + Chunk("IDAT", PngPixels(picture)) + Chunk("IEND", "");
}

std::string AnimatedPng(const SPicture& still, const SPicture& frame, uint32_t declaredFrames,
                        bool stillIsAFrame) {
    uint32_t sequence = 0;
    auto control = [&](const SPicture& p) {
        std::string data;
        for (uint32_t v : {sequence++, uint32_t(p.width), uint32_t(p.height), 0u, 0u}) Big32(data, v);
        data += std::string("\0\1\0\x0a\0\0", 6);  // a tenth of a second; no disposal, no blending
        return Chunk("fcTL", data);
    };
    std::string animation;
    Big32(animation, declaredFrames);
    Big32(animation, 0);  // played for ever
    std::string out = PngHead(still) + Chunk("acTL", animation);
    if (stillIsAFrame) out += control(still);
    out += Chunk("IDAT", PngPixels(still)) + control(frame);
    std::string frameData;
    Big32(frameData, sequence++);
    return out + Chunk("fdAT", frameData + PngPixels(frame)) + Chunk("IEND", "");
}

std::string BlackPng(uint32_t width, uint32_t height, bool alpha) {
    return std::string(kPngSignature, 8) + Chunk("IHDR", Ihdr(width, height, alpha)) +
           Chunk("IDAT", Zeros(uint64_t(height) * (1 + (alpha ? 4 : 3) * uint64_t(width)))) +
           Chunk("IEND", "");
}

std::string PngWithChunkClaiming(uint32_t claimed) {
    const std::string whole = PngFile(NoisyPage(4, 4, 9));
    std::string chunk;
    Big32(chunk, claimed);
    chunk += "tEXtComment";
    chunk += std::string(64, 'x');
    // After the signature and IHDR (8 + 25 bytes), before IDAT.
    return whole.substr(0, 33) + chunk + whole.substr(33);
}

std::string PngDeclaring(uint32_t width, uint32_t height) {
    // One row's worth of data, then the end.
    return std::string(kPngSignature, 8) + Chunk("IHDR", Ihdr(width, height)) +
           Chunk("IDAT", Stored(std::string(1 + 3 * size_t(std::min<uint32_t>(width, 1000)), '\0'))) +
           Chunk("IEND", "");
}

std::string TiffFile(const SPicture& picture) {
    const std::string pixels(reinterpret_cast<const char*>(picture.samples.data()), picture.samples.size());
    return TiffWith(uint32_t(picture.width), uint32_t(picture.height), 1, 0, uint32_t(pixels.size()), pixels);
}

std::string TiffDeclaring(uint32_t width, uint32_t height, uint16_t compression, size_t carried) {
    const uint32_t bytes = uint32_t(std::min<uint64_t>(uint64_t(width) * height * 3, 0xFFFFFFFFu));
    return TiffWith(width, height, compression, 0, bytes, std::string(carried, '\0'));
}

std::string TiffStrip(uint32_t width, uint32_t height, uint16_t compression, uint32_t declaredBytes,
                      const std::string& data, uint32_t offset) {
    return TiffWith(width, height, compression, 0, declaredBytes, data, offset);
}

std::string TiffWithOneTile(uint32_t width, uint32_t height, uint32_t tileSide, uint16_t compression,
                            uint32_t carried) {
    return TiffWith(width, height, compression, tileSide, carried, std::string(carried, '\0'));
}

std::string TiffWithEntryCount(const SPicture& picture, uint16_t tag, uint32_t count) {
    const std::string pixels(reinterpret_cast<const char*>(picture.samples.data()), picture.samples.size());
    const auto width = uint32_t(picture.width), height = uint32_t(picture.height);
    const uint32_t offset = uint32_t(TiffHeader(TiffEntries(width, height, 1, 0, 0, 0)).size());
    std::vector<STiffEntry> entries = TiffEntries(width, height, 1, offset, uint32_t(pixels.size()), 0);
    for (STiffEntry& entry : entries)
        if (entry.tag == tag) entry.count = count;
    return TiffHeader(entries) + pixels;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace tool_testing
