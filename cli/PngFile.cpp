#include "cli/PngFile.h"

#include <png.h>
#include <zlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/BandedDeflate.h"
#include "cli/ImageError.h"
#include "cli/ImageLimits.h"
#include "cli/InputFile.h"
#include "cli/Interrupt.h"
#include "cli/PngPlainPixels.h"

namespace cli {

namespace {

// libpng allocates an ancillary chunk's whole declared length before it
// reads a byte of it, and as a reader it takes its own "chunk too large"
// check as a mere warning: a damaged or hostile length field in a file of a
// few hundred bytes would take gigabytes. No block libpng needs here (a row,
// the inflate window, an ICC profile) comes near this; a larger request
// fails as out of memory, which libpng handles by dropping the chunk.
constexpr png_alloc_size_t kMaxLibpngBlock = png_alloc_size_t(64) << 20;

png_voidp LimitedMalloc(png_structp, png_alloc_size_t size) {
    return size <= kMaxLibpngBlock ? std::malloc(size) : nullptr;
}

void LimitedFree(png_structp, png_voidp block) { std::free(block); }

// A deflate stream expands its input at most 1032 times.
constexpr uint64_t kMaxDeflateExpansion = 1032;

// libpng reports errors by longjmp. Every function below that calls into
// libpng under setjmp holds no object with a destructor, so the jump never
// skips one; C++ work happens between those calls.
struct SPngSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    FILE* file = nullptr;
    char error[256] = "";
    char warning[256] = "";
    int fileError = 0;  // errno of a failed read or write of `file`, for the message
    const SCodecOptions* options = nullptr;
    png_uint_32 rows = 0;  // of the image, for progress
};

// Rows are where a large page spends its time in libpng: Ctrl-C is heeded
// between them, as the failure the caller reports as the interruption.
// Progress too; interlaced files count each pass.
void OnRow(png_structp png, png_uint_32 row, int pass) {
    const auto* session = static_cast<const SPngSession*>(png_get_error_ptr(png));
    const bool heed = !session || !session->options || session->options->heedInterrupt;
    if (heed && InterruptRequested()) png_error(png, "interrupted");
    if (!session || !session->options || !session->rows || (row & 63) != 0) return;
    const double passes = png_get_interlace_type(png, nullptr) == PNG_INTERLACE_ADAM7 ? 7.0 : 1.0;
    const double within = std::min(1.0, double(row) / double(session->rows));
    session->options->Report(std::min(1.0, (pass + within) / passes));
}

void OnError(png_structp png, png_const_charp text) {
    const int error = errno;
    auto* session = static_cast<SPngSession*>(png_get_error_ptr(png));
    // libpng says only "Write Error"; the system's reason (a full disk, a
    // file-size limit) is what the user can act on.
    if (session->file && std::ferror(session->file)) session->fileError = error;
    std::snprintf(session->error, sizeof session->error, "%s", text ? text : "unknown error");
    png_longjmp(png, 1);
}

void OnWarning(png_structp png, png_const_charp text) {
    auto* session = static_cast<SPngSession*>(png_get_error_ptr(png));
    if (!session->warning[0])
        std::snprintf(session->warning, sizeof session->warning, "%s", text ? text : "");
}

class CReadSession : public SPngSession {
public:
    ~CReadSession() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (file) std::fclose(file);
    }
};

class CWriteSession : public SPngSession {
public:
    ~CWriteSession() {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file) std::fclose(file);
    }
};

// libpng knows nothing of animation: an APNG's frames after the first
// come in chunks it would pass over without a word. It is asked to keep
// those two (the frame count, and a frame's data), and only those.
void KeepAnimationChunks(png_structp png) {
    static const png_byte kChunks[] = "acTL\0fdAT";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, kChunks, 2);
}

// The frame count an acTL chunk declares (0 without one), and whether an
// fdAT chunk, a frame beyond the still image, has been read so far.
void FindAnimation(const SPngSession& s, uint32_t& frames, bool& frameData) {
    png_unknown_chunkp chunks = nullptr;
    const int count = png_get_unknown_chunks(s.png, s.info, &chunks);
    for (int i = 0; i < count; ++i) {
        if (std::memcmp(chunks[i].name, "acTL", 4) == 0 && chunks[i].size >= 4)
            frames = png_get_uint_32(chunks[i].data);
        if (std::memcmp(chunks[i].name, "fdAT", 4) == 0) frameData = true;
    }
}

bool GuardedReadInfo(SPngSession& s) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    KeepAnimationChunks(s.png);
    png_init_io(s.png, s.file);
    png_read_info(s.png, s.info);
    return true;
}

bool GuardedReadImage(SPngSession& s, png_bytepp rows) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_set_read_status_fn(s.png, OnRow);
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    png_read_image(s.png, rows);
    // Reading to the end checks the last chunks too: a file cut short
    // after its pixels is still a damaged file. The chunks after the pixels
    // go to the same info, where an animation's frames are looked for.
    png_read_end(s.png, s.info);
    return true;
}

// Line art comes as what the drawing program saved: gray stays gray, and
// everything is made 8-bit samples with a full alpha plane where the file
// has any transparency.
bool GuardedExpandLineArt(SPngSession& s, int colourType, int depth) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s.png);
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0 && depth < 8) png_set_expand_gray_1_2_4_to_8(s.png);
    if (png_get_valid(s.png, s.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(s.png);
    if (depth == 16) png_set_strip_16(s.png);
    return true;
}

// The bytes of one row as the file stores them, before its filter byte.
uint64_t StoredRowBytes(uint32_t width, int colourType, int depth) {
    const int channels = colourType == PNG_COLOR_TYPE_RGB_ALPHA    ? 4
                         : colourType == PNG_COLOR_TYPE_RGB        ? 3
                         : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                   : 1;
    return (uint64_t(width) * uint64_t(channels) * uint64_t(depth) + 7) / 8;
}

[[noreturn]] void RejectAnimation(uint32_t frames) {
    throw CImageError("is an animated PNG (" + (frames > 1 ? std::to_string(frames) + " frames" : "APNG") +
                      "); only still PNG images can be flatted");
}

[[noreturn]] void Damaged(const SPngSession& s) {
    throw CImageError(std::string("truncated or damaged PNG file (libpng: ") + s.error + ")");
}

void ReadColourChunks(const SPngSession& s, SRaster& raster) {
    SPngColourChunks& c = raster.pngColour;
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(s.png, s.info, &name, &compression, &profile, &length) && profile && length) {
        raster.iccProfile.assign(reinterpret_cast<const char*>(profile), length);
        raster.iccName = name ? name : "";
    }
    c.hasSrgb = png_get_sRGB(s.png, s.info, &c.srgbIntent) != 0;
    c.hasGamma = png_get_gAMA(s.png, s.info, &c.gamma) != 0;
    c.hasChromaticities = png_get_cHRM(s.png, s.info, &c.white[0], &c.white[1], &c.red[0], &c.red[1],
                                       &c.green[0], &c.green[1], &c.blue[0], &c.blue[1]) != 0;
    png_bytep alphas = nullptr;
    int count = 0;
    png_color_16p colour = nullptr;
    if (!raster.hasAlpha && png_get_tRNS(s.png, s.info, &alphas, &count, &colour) && colour) {
        c.hasTransparentColour = true;
        c.transparent[0] = colour->red;
        c.transparent[1] = colour->green;
        c.transparent[2] = colour->blue;
    }
}

void ReadResolution(const SPngSession& s, SRaster& raster) {
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (!png_get_pHYs(s.png, s.info, &x, &y, &unit)) return;
    raster.resolution.present = true;
    raster.resolution.x = x;
    raster.resolution.y = y;
    raster.resolution.unit = unit == PNG_RESOLUTION_METER ? EResolutionUnit::Metre : EResolutionUnit::None;
}

// libpng reads through zlib, whose inflate costs most of a large page's
// reading; a plain file's pixels go to libdeflate instead, and anything
// else (or anything amiss) is left to libpng.
bool ReadPlainPixels(const SPngSession& s, SRaster& raster, int colourType, int depth, int interlace,
                     const SCodecOptions& options) {
    const bool transformed = options.lineArt && png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;
    if (depth != 8 || colourType == PNG_COLOR_TYPE_PALETTE || interlace != PNG_INTERLACE_NONE || transformed)
        return false;
    const int channels = int(StoredRowBytes(1, colourType, depth));
    const SPlainPng plain{uint32_t(raster.width), uint32_t(raster.height), channels,
                          raster.pixels.Bytes().data()};
    return channels == raster.Planes() && ReadPlainPngPixels(s.file, plain, options);
}

}  // namespace

SRaster ReadPng(const std::string& path, const SCodecOptions& options) {
    CReadSession s;
    s.options = &options;
    const int fd = OpenInputFile(path);
    s.file = ::fdopen(fd, "rb");
    if (!s.file) {
        ::close(fd);
        throw CImageError(std::string("cannot open: ") + std::strerror(errno));
    }
    s.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &s, OnError, OnWarning, nullptr, LimitedMalloc,
                                     LimitedFree);
    if (s.png) s.info = png_create_info_struct(s.png);
    if (!s.png || !s.info) throw std::bad_alloc();
    if (!GuardedReadInfo(s)) Damaged(s);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(s.png, s.info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
    const bool gray = (colourType & PNG_COLOR_MASK_COLOR) == 0;
    if (!options.lineArt && gray) RejectGrayscale();
    if (!options.lineArt && colourType == PNG_COLOR_TYPE_PALETTE) RejectPalette();
    uint32_t frames = 0;
    bool frameData = false;
    FindAnimation(s, frames, frameData);
    if (frames > 1 || frameData) RejectAnimation(frames);
    if (depth != 8 && !options.lineArt) RejectSampleBits(depth);
    CheckSize(width, height, options.lineArt ? kMaxLineArtSide : kMaxSide);

    SRaster raster;
    raster.width = int(width);
    raster.height = int(height);
    raster.model = gray ? EColourModel::Gray : EColourModel::Rgb;
    raster.hasAlpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0;
    if (options.lineArt) {
        raster.hasAlpha = raster.hasAlpha || png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;
        if (!GuardedExpandLineArt(s, colourType, depth)) Damaged(s);
    }
    // Each row is stored behind a filter byte, deflated.
    struct stat file {};
    if (::fstat(fileno(s.file), &file) == 0)
        CheckFileCanHold(uint64_t(height) * (1 + StoredRowBytes(width, colourType, depth)),
                         uint64_t(file.st_size), kMaxDeflateExpansion, "PNG");
    CheckPageFits(width, height, raster.Planes(), raster.hasAlpha, options);
    ReadResolution(s, raster);
    ReadColourChunks(s, raster);

    raster.pixels = sim::CHostImage::Uninitialised(raster.width, raster.height, raster.Planes());
    s.rows = height;
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = raster.pixels.Bytes().data() + size_t(y) * raster.RowBytes();
    if (!ReadPlainPixels(s, raster, colourType, depth, interlace, options) &&
        !GuardedReadImage(s, rows.data()))
        Damaged(s);
    FindAnimation(s, frames, frameData);
    if (frameData) RejectAnimation(frames);
    png_uint_32 exifBytes = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(s.png, s.info, &exifBytes, &exif) && exif && exifBytes)
        raster.pngExif.assign(reinterpret_cast<const char*>(exif), exifBytes);
    // libpng warns when it passes over a chunk it finds broken, such as a
    // profile it cannot parse: that chunk will be missing from the output.
    if (s.warning[0]) raster.readWarning = std::string("libpng: ") + s.warning;
    return raster;
}

namespace {

struct SWriteInputs {
    const SRaster* raster;
    png_bytepp rows;
    const char* iccName;
};

void SetResolution(SPngSession& s, const SRaster& raster) {
    const SResolution& r = raster.resolution;
    if (!r.present || r.x <= 0 || r.y <= 0) return;
    const bool absolute = r.unit != EResolutionUnit::None;
    auto perUnit = [&](double value) {
        return png_uint_32(std::lround(absolute ? r.PerMetre(value) : value));
    };
    png_set_pHYs(s.png, s.info, perUnit(r.x), perUnit(r.y),
                 absolute ? PNG_RESOLUTION_METER : PNG_RESOLUTION_UNKNOWN);
}

void SetColourChunks(SPngSession& s, const SWriteInputs& in) {
    const SRaster& raster = *in.raster;
    const SPngColourChunks& c = raster.pngColour;
    if (!raster.iccProfile.empty()) {
        png_set_iCCP(s.png, s.info, in.iccName, PNG_COMPRESSION_TYPE_BASE,
                     reinterpret_cast<png_const_bytep>(raster.iccProfile.data()),
                     png_uint_32(raster.iccProfile.size()));
    } else if (c.hasSrgb) {
        png_set_sRGB(s.png, s.info, c.srgbIntent);
    }
    if (c.hasGamma) png_set_gAMA(s.png, s.info, c.gamma);
    if (c.hasChromaticities)
        png_set_cHRM(s.png, s.info, c.white[0], c.white[1], c.red[0], c.red[1], c.green[0], c.green[1],
                     c.blue[0], c.blue[1]);
    if (!raster.pngExif.empty())
        png_set_eXIf_1(s.png, s.info, png_uint_32(raster.pngExif.size()),
                       reinterpret_cast<png_bytep>(const_cast<char*>(raster.pngExif.data())));
    if (c.hasTransparentColour && !raster.hasAlpha) {
        png_color_16 key{};
        key.red = c.transparent[0];
        key.green = c.transparent[1];
        key.blue = c.transparent[2];
        png_set_tRNS(s.png, s.info, nullptr, 0, &key);
    }
}

bool GuardedWriteInfo(SPngSession& s, const SWriteInputs& in) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    const SRaster& raster = *in.raster;
    // A profile or chunk that libpng finds inconsistent becomes a warning
    // and is dropped, rather than costing the user the whole page.
    png_set_benign_errors(s.png, 1);
    png_init_io(s.png, s.file);
    png_set_write_status_fn(s.png, OnRow);
    png_set_IHDR(s.png, s.info, png_uint_32(raster.width), png_uint_32(raster.height), 8,
                 raster.hasAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (s.options->smallest) {
        png_set_filter(s.png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
        png_set_compression_level(s.png, Z_BEST_COMPRESSION);
    }
    SetResolution(s, raster);
    SetColourChunks(s, in);
    png_write_info(s.png, s.info);
    return true;
}

bool GuardedWriteRows(SPngSession& s, const SWriteInputs& in) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_write_image(s.png, in.rows);
    png_write_end(s.png, nullptr);
    return true;
}

// The pixels deflated elsewhere, as IDAT chunks, and the end of the file.
// libpng writes chunks as given; its own end would look for IDATs it wrote.
// Chunks of a megabyte keep Ctrl-C prompt on a slow disk, where writing a
// large page's data can take longer than deflating it.
bool GuardedWriteDeflated(SPngSession& s, const std::vector<std::string>& pieces) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    static const png_byte kIdat[5] = "IDAT";
    static const png_byte kIend[5] = "IEND";
    constexpr size_t kChunk = size_t(1) << 20;
    const bool heed = s.options->heedInterrupt;
    for (const std::string& piece : pieces)
        for (size_t at = 0; at < piece.size(); at += kChunk) {
            if (heed && InterruptRequested()) png_error(s.png, "interrupted");
            png_write_chunk(s.png, kIdat, reinterpret_cast<png_const_bytep>(piece.data() + at),
                            std::min(kChunk, piece.size() - at));
        }
    png_write_chunk(s.png, kIend, nullptr, 0);
    return true;
}

}  // namespace

std::string WritePng(int fd, const SRaster& raster, const SCodecOptions& options) {
    if (raster.model != EColourModel::Rgb)
        throw CImageError("PNG cannot hold CMYK images; name the output .tif or .tiff");
    CWriteSession s;
    int copy = ::dup(fd);
    if (copy < 0 || !(s.file = ::fdopen(copy, "wb"))) {
        if (copy >= 0) ::close(copy);
        throw CImageError(std::string("cannot write: ") + std::strerror(errno));
    }
    s.options = &options;
    s.rows = png_uint_32(raster.height);
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s, OnError, OnWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    if (!s.png || !s.info) throw std::bad_alloc();

    const uint8_t* pixels = raster.pixels.Bytes().data();
    std::vector<png_bytep> rows(size_t(raster.height));
    for (int y = 0; y < raster.height; ++y)
        rows[size_t(y)] = const_cast<png_bytep>(pixels + size_t(y) * raster.RowBytes());
    const std::string iccName = raster.iccName.empty() ? "ICC profile" : raster.iccName;
    SWriteInputs inputs{&raster, rows.data(), iccName.c_str()};
    auto failed = [&] {
        return CImageError(s.fileError ? std::string("cannot write: ") + std::strerror(s.fileError)
                                       : std::string("cannot write PNG: ") + s.error);
    };
    if (!GuardedWriteInfo(s, inputs)) throw failed();
    if (options.smallest) {
        if (!GuardedWriteRows(s, inputs)) throw failed();
    } else {
        SDeflateSettings deflate{6, options.threads,
                                 [&options] { return options.heedInterrupt && InterruptRequested(); }};
        const std::vector<std::string> pieces =
            DeflateRowsUp(pixels, raster.RowBytes(), raster.height, deflate,
                          [&](int done) { options.Report(double(done) / raster.height); });
        if (pieces.empty()) throw CImageError("interrupted");
        if (!GuardedWriteDeflated(s, pieces)) throw failed();
    }

    FILE* file = s.file;
    s.file = nullptr;
    if (std::fclose(file) != 0) throw CImageError(std::string("cannot write: ") + std::strerror(errno));
    return s.warning[0] ? std::string("not everything could be kept in the PNG (libpng: ") + s.warning + ")"
                        : std::string();
}

}  // namespace cli
