// The PNG of an archive's member in the page's WebAssembly, where there is
// no zlib: the chunks are made here and the rows deflated by the page's
// own zlib stream (Module.layeredDeflate, set by the worker), row by row,
// so that no more of the picture than the compressed bytes waiting to be
// written is ever held.
#include <emscripten.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "layered/Crc32.h"
#include "layered/PngStream.h"

// clang-format off
EM_JS(void, vandrel_deflate_start, (), { Module.layeredDeflate.start(); });
// Returns how many compressed bytes wait to be taken.
EM_JS(size_t, vandrel_deflate_push, (const uint8_t* bytes, size_t size, int last), {
    return Module.layeredDeflate.push(HEAPU8.slice(bytes, bytes + size), last !== 0);
});
EM_JS(void, vandrel_deflate_take, (uint8_t* into), { Module.layeredDeflate.take(HEAPU8, into); });
// clang-format on

namespace layered {

namespace {

constexpr size_t kIdatBytes = size_t(1) << 20;

void U32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += char((value >> shift) & 0xFF);
}

void Chunk(const FWrite& write, const char* type, const void* data, size_t size) {
    std::string head;
    U32(head, uint32_t(size));
    head.append(type, 4);
    uint32_t crc = Crc32(0, head.data() + 4, 4);
    crc = Crc32(crc, data, size);
    std::string tail;
    U32(tail, crc);
    write(head.data(), head.size());
    if (size) write(data, size);
    write(tail.data(), tail.size());
}

}  // namespace

void WritePngRows(const SPngRows& picture, const FWrite& write) {
    static const unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    write(kSignature, sizeof kSignature);
    std::string header;
    U32(header, uint32_t(picture.width));
    U32(header, uint32_t(picture.height));
    header += char(8);
    header += char(picture.alpha ? 6 : 2);
    header.append(3, '\0');  // deflate, adaptive filtering, not interlaced
    Chunk(write, "IHDR", header.data(), header.size());
    if (picture.xDpi > 0 && picture.yDpi > 0) {
        std::string phys;
        U32(phys, uint32_t(std::lround(picture.xDpi / 0.0254)));
        U32(phys, uint32_t(std::lround(picture.yDpi / 0.0254)));
        phys += char(1);  // per metre
        Chunk(write, "pHYs", phys.data(), phys.size());
    }
    // The Up filter, as the native writer uses: flat colour turns to zeros.
    const size_t rowBytes = size_t(picture.width) * (picture.alpha ? 4 : 3);
    std::vector<uint8_t> above(rowBytes, 0);
    std::vector<uint8_t> line(rowBytes + 1);
    std::vector<uint8_t> compressed;
    line[0] = 2;
    vandrel_deflate_start();
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* row = picture.row(y);
        for (size_t i = 0; i < rowBytes; ++i) line[i + 1] = uint8_t(row[i] - above[i]);
        std::memcpy(above.data(), row, rowBytes);
        const bool last = y + 1 == picture.height;
        const size_t waiting = vandrel_deflate_push(line.data(), line.size(), last ? 1 : 0);
        if (waiting && (waiting >= kIdatBytes || last)) {
            compressed.resize(waiting);
            vandrel_deflate_take(compressed.data());
            Chunk(write, "IDAT", compressed.data(), compressed.size());
        }
    }
    Chunk(write, "IEND", nullptr, 0);
}

}  // namespace layered
