#include "cli/PngPlainPixels.h"

#include <libdeflate.h>
#include <png.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cli/ImageError.h"
#include "cli/Interrupt.h"

namespace cli {

namespace {

constexpr uint32_t kMaxChunkLength = 0x7fffffffu;

// A span of memory filled chunk by chunk.
struct SFill {
    uint8_t* data;
    size_t capacity, size = 0;
};

// One chunk's data appended to `to`, its CRC checked. False at the end of
// the file, on a CRC that does not match, or when it does not fit.
bool ReadChunkData(FILE* file, const uint8_t type[4], uint32_t length, SFill& to) {
    if (length > to.capacity - to.size) return false;
    uint8_t* at = to.data + to.size;
    uint8_t crc[4];
    if (length && std::fread(at, 1, length, file) != length) return false;
    if (std::fread(crc, 1, 4, file) != 4) return false;
    // A null buffer would restart the sum: an empty chunk's is its type's.
    uint32_t sum = libdeflate_crc32(0, type, 4);
    if (length) sum = libdeflate_crc32(sum, at, length);
    to.size += length;
    return sum == png_get_uint_32(crc);
}

// Every IDAT chunk's data, in order, then an empty IEND and nothing else.
bool ReadImageStream(FILE* file, SFill& stream) {
    uint8_t header[8];
    if (std::fseek(file, -8, SEEK_CUR) != 0) return false;
    for (;;) {
        if (std::fread(header, 1, 8, file) != 8) return false;
        const uint32_t length = png_get_uint_32(header);
        if (length > kMaxChunkLength) return false;
        if (std::memcmp(header + 4, "IEND", 4) == 0) {
            SFill none{nullptr, 0};
            return length == 0 && ReadChunkData(file, header + 4, 0, none);
        }
        if (std::memcmp(header + 4, "IDAT", 4) != 0) return false;
        if (!ReadChunkData(file, header + 4, length, stream)) return false;
    }
}

uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// One row undone from its filter: `in` as stored, `above` the row before
// as already undone (zeros for the first), into `out`.
bool Unfilter(int filter, const uint8_t* in, const uint8_t* above, uint8_t* out, size_t bytes, int bpp) {
    switch (filter) {
        case 0:
            std::memcpy(out, in, bytes);
            return true;
        case 1:
            for (size_t i = 0; i < bytes; ++i)
                out[i] = uint8_t(in[i] + (i >= size_t(bpp) ? out[i - bpp] : 0));
            return true;
        case 2:
            for (size_t i = 0; i < bytes; ++i) out[i] = uint8_t(in[i] + above[i]);
            return true;
        case 3:
            for (size_t i = 0; i < bytes; ++i)
                out[i] = uint8_t(in[i] + ((i >= size_t(bpp) ? out[i - bpp] : 0) + above[i]) / 2);
            return true;
        case 4:
            for (size_t i = 0; i < size_t(bpp) && i < bytes; ++i) out[i] = uint8_t(in[i] + above[i]);
            for (size_t i = size_t(bpp); i < bytes; ++i)
                out[i] = uint8_t(in[i] + Paeth(out[i - bpp], above[i], above[i - bpp]));
            return true;
        default:
            return false;
    }
}

struct SDecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

bool Inflate(const SFill& stream, uint8_t* filtered, size_t size) {
    std::unique_ptr<libdeflate_decompressor, SDecompressorDeleter> inflater(libdeflate_alloc_decompressor());
    if (!inflater) throw std::bad_alloc();
    size_t in = 0, out = 0;
    const libdeflate_result result =
        libdeflate_zlib_decompress_ex(inflater.get(), stream.data, stream.size, filtered, size, &in, &out);
    return result == LIBDEFLATE_SUCCESS && in == stream.size && out == size;
}

bool Decode(FILE* file, const SPlainPng& png, const SCodecOptions& options) {
    // The compressed pixels wait in the page's own memory, which the rows
    // fill only once they are inflated: a file whose pixels do not
    // compress to the page's size is left to libpng.
    const size_t rowBytes = size_t(png.width) * size_t(png.channels);
    SFill stream{png.pixels, size_t(png.height) * rowBytes};
    if (!ReadImageStream(file, stream)) return false;
    // Every byte is inflated into: no zeros written first. Without the
    // memory for it, libpng reads the page row by row.
    const size_t size = size_t(png.height) * (rowBytes + 1);
    const std::unique_ptr<uint8_t[]> filtered(new (std::nothrow) uint8_t[size]);
    if (!filtered || !Inflate(stream, filtered.get(), size)) return false;
    const std::vector<uint8_t> zeros(rowBytes, 0);
    for (uint32_t y = 0; y < png.height; ++y) {
        const uint8_t* in = filtered.get() + size_t(y) * (rowBytes + 1);
        uint8_t* out = png.pixels + size_t(y) * rowBytes;
        const uint8_t* above = y ? out - rowBytes : zeros.data();
        if (!Unfilter(in[0], in + 1, above, out, rowBytes, png.channels)) return false;
        // Heard as often as libpng's rows are, so the two paths show alike.
        if (((y + 1) & 63) == 0) {
            if (options.heedInterrupt && InterruptRequested()) return false;
            options.Report(double(y + 1) / double(png.height));
        }
    }
    return true;
}

}  // namespace

bool ReadPlainPngPixels(FILE* file, const SPlainPng& png, const SCodecOptions& options) {
    const long start = std::ftell(file);
    if (start < 8 || png.channels < 1 || png.channels > 4) return false;
    if (options.heedInterrupt && InterruptRequested()) return false;
    if (Decode(file, png, options)) return true;
    std::clearerr(file);
    if (std::fseek(file, start, SEEK_SET) != 0)
        throw CImageError(std::string("cannot read the file again: ") + std::strerror(errno));
    return false;
}

}  // namespace cli
