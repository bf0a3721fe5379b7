#include "layered/PngStream.h"

#include <png.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <exception>
#include <stdexcept>
#include <string>

namespace layered {

namespace {

// libpng is C: an error unwinds by longjmp, so what the sink throws is
// kept here and thrown again once libpng has returned.
struct SSession {
    const FWrite* write = nullptr;
    std::exception_ptr thrown;
    std::string error;
    png_structp png = nullptr;
    png_infop info = nullptr;
};

void OnWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* s = static_cast<SSession*>(png_get_io_ptr(png));
    try {
        (*s->write)(data, size);
    } catch (...) {
        s->thrown = std::current_exception();
        png_error(png, "the file could not take the bytes");
    }
}

void OnFlush(png_structp) {}

void OnError(png_structp png, png_const_charp message) {
    auto* s = static_cast<SSession*>(png_get_error_ptr(png));
    if (s->error.empty()) s->error = message;
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Nothing here has a destructor: a longjmp out of libpng lands in it.
bool GuardedWrite(SSession& s, const SPngRows& picture) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_set_write_fn(s.png, &s, OnWrite, OnFlush);
    png_set_IHDR(s.png, s.info, png_uint_32(picture.width), png_uint_32(picture.height), 8,
                 picture.alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    // The Up filter: flat colour and line art turn into runs of zeros,
    // within a few percent of the adaptive filters, several times faster.
    png_set_filter(s.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(s.png, Z_DEFAULT_COMPRESSION);
    if (picture.xDpi > 0 && picture.yDpi > 0)
        png_set_pHYs(s.png, s.info, png_uint_32(std::lround(picture.xDpi / 0.0254)),
                     png_uint_32(std::lround(picture.yDpi / 0.0254)), PNG_RESOLUTION_METER);
    png_write_info(s.png, s.info);
    for (int y = 0; y < picture.height; ++y) png_write_row(s.png, const_cast<png_bytep>(picture.row(y)));
    png_write_end(s.png, s.info);
    return true;
}

}  // namespace

void WritePngRows(const SPngRows& picture, const FWrite& write) {
    SSession s;
    s.write = &write;
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s, OnError, OnWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    if (!s.png || !s.info) {
        png_destroy_write_struct(&s.png, s.info ? &s.info : nullptr);
        throw std::bad_alloc();
    }
    const bool written = GuardedWrite(s, picture);
    png_destroy_write_struct(&s.png, &s.info);
    if (s.thrown) std::rethrow_exception(s.thrown);
    if (!written) throw std::runtime_error("cannot write PNG: " + s.error);
}

}  // namespace layered
