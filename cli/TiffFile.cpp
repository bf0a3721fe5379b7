#include "cli/TiffFile.h"

#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <system_error>
#include <thread>
#include <memory>
#include <chrono>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/ImageError.h"
#include "cli/ImageLimits.h"
#include "cli/StripDeflate.h"
#include "cli/InputFile.h"
#include "cli/Interrupt.h"

namespace cli {

namespace {

// One open TIFF with its own error text: libtiff reports errors through a
// handler, and only the first one says what went wrong.
class CTiff {
public:
    CTiff() : options_(TIFFOpenOptionsAlloc()) {
        if (!options_) throw std::bad_alloc();
        TIFFOpenOptionsSetErrorHandlerExtR(options_, OnError, this);
        TIFFOpenOptionsSetWarningHandlerExtR(options_, OnWarning, this);
    }
    ~CTiff() {
        if (tif_) TIFFClose(tif_);
        TIFFOpenOptionsFree(options_);
    }
    CTiff(const CTiff&) = delete;
    CTiff& operator=(const CTiff&) = delete;

    // Reads the open file `fd`, which stays the caller's, at an offset of
    // its own: any number of readers share one descriptor, so that they
    // all read the one file that was opened, whatever its name comes to
    // stand for meanwhile (a save by rename, say). Plain reads rather than
    // a memory map: a file cut short by someone else while mapped would
    // end the program with SIGBUS.
    bool OpenShared(int fd, const std::string& name) {
        shared_ = SSharedFile{fd, 0};
        tif_ = TIFFClientOpenExt(name.c_str(), "rm", &shared_, SharedRead, SharedWrite, SharedSeek,
                                 SharedClose, SharedSize, SharedMap, SharedUnmap, options_);
        return tif_ != nullptr;
    }
    bool OpenFd(int fd, const std::string& name, const char* mode) {
        tif_ = TIFFFdOpenExt(fd, name.c_str(), mode, options_);
        return tif_ != nullptr;
    }
    // Closing writes what is still buffered; false when that failed.
    bool Close() {
        TIFF* tif = tif_;
        tif_ = nullptr;
        const bool flushed = TIFFFlush(tif) == 1;
        TIFFClose(tif);
        return flushed && !error_[0];
    }
    TIFF* operator*() const { return tif_; }
    std::string Error() const { return error_[0] ? error_ : "unknown error"; }
    // libtiff mends strip sizes it finds wrong by guessing them from the
    // image's size, and only warns: the guess reads whatever bytes follow.
    bool StripSizesMended() const { return stripSizesMended_; }
    // What libtiff said when it left out an entry the pixels depend on; "".
    std::string DroppedEntry() const { return droppedEntry_; }
    // The system's reason for the first error, when a call the caller made
    // with errno cleared failed in the system (a full disk, say); else 0.
    int SystemError() const { return systemError_; }

private:
    static int OnError(TIFF*, void* self, const char*, const char* format, va_list args) {
        const int error = errno;
        auto* tiff = static_cast<CTiff*>(self);
        if (tiff->error_[0]) return 1;
        tiff->systemError_ = error;
        std::vsnprintf(tiff->error_, sizeof tiff->error_, format, args);
        return 1;
    }
    static int OnWarning(TIFF*, void* self, const char*, const char* format, va_list args) {
        auto* tiff = static_cast<CTiff*>(self);
        if (std::strstr(format, "StripByteCounts") && std::strstr(format, "ignoring")) {
            tiff->stripSizesMended_ = true;
            return 1;
        }
        char message[256];
        std::vsnprintf(message, sizeof message, format, args);
        if (!tiff->droppedEntry_[0] && DropsPixelEntry(message))
            std::snprintf(tiff->droppedEntry_, sizeof tiff->droppedEntry_, "%s", message);
        return 1;
    }
    // libtiff goes on without an entry it cannot use, taking the default:
    // for most entries a loss the user never sees, for these ones pixels
    // read from the wrong place or decoded the wrong way.
    static bool DropsPixelEntry(const char* message) {
        if (!std::strstr(message, "ignor")) return false;
        static const char* const kPixelEntries[] = {
            "ImageWidth",   "ImageLength",     "BitsPerSample", "Compression",     "Photometric",
            "StripOffsets", "SamplesPerPixel", "RowsPerStrip",  "StripByteCounts", "PlanarConfig",
            "Predictor",    "ExtraSamples",    "SampleFormat",  "TileWidth",       "TileLength",
            "TileOffsets",  "TileByteCounts",  "InkSet",        "JPEGTables",
        };
        for (const char* entry : kPixelEntries)
            if (std::strstr(message, entry)) return true;
        return false;
    }

    struct SSharedFile {
        int fd = -1;
        uint64_t offset = 0;
    };
    static tmsize_t SharedRead(thandle_t handle, void* buffer, tmsize_t size) {
        auto* file = static_cast<SSharedFile*>(handle);
        ssize_t got;
        do got = ::pread(file->fd, buffer, size_t(size), off_t(file->offset));
        while (got < 0 && errno == EINTR);
        if (got > 0) file->offset += uint64_t(got);
        return got;
    }
    static tmsize_t SharedWrite(thandle_t, void*, tmsize_t) { return -1; }
    static toff_t SharedSeek(thandle_t handle, toff_t offset, int whence) {
        auto* file = static_cast<SSharedFile*>(handle);
        switch (whence) {
            case SEEK_SET:
                file->offset = offset;
                break;
            case SEEK_CUR:
                file->offset += offset;
                break;
            case SEEK_END:
                file->offset = SharedSize(handle) + offset;
                break;
            default:
                return toff_t(-1);
        }
        return file->offset;
    }
    static int SharedClose(thandle_t) { return 0; }
    static toff_t SharedSize(thandle_t handle) {
        struct stat file {};
        return ::fstat(static_cast<SSharedFile*>(handle)->fd, &file) == 0 ? toff_t(file.st_size) : 0;
    }
    static int SharedMap(thandle_t, void**, toff_t*) { return 0; }
    static void SharedUnmap(thandle_t, void*, toff_t) {}

    TIFFOpenOptions* options_;
    SSharedFile shared_;
    TIFF* tif_ = nullptr;
    char error_[256] = "";
    int systemError_ = 0;
    bool stripSizesMended_ = false;
    char droppedEntry_[256] = "";
};

// libtiff says only "Write error at scanline n"; the system's reason is what
// the user can act on. Writers clear errno before each libtiff call, so that
// an error carries a reason only when a system call failed inside it.
[[noreturn]] void FailWrite(const CTiff& tiff) {
    if (tiff.SystemError())
        throw CImageError(std::string("cannot write: ") + std::strerror(tiff.SystemError()));
    throw CImageError("cannot write TIFF: " + tiff.Error());
}

// How far each compression can expand what the file holds, when decoding
// 8-bit samples: uncompressed not at all, PackBits 64 to 1, deflate 1032 to
// 1, LZW some 2700 to 1, JPEG one bit per 8 x 8 block at best, LZMA a long
// repeated match for a fraction of a bit, ZSTD an RLE block of 128 KiB for
// four bytes. Codecs with no bound of their own (lossless WebP, LERC) get a
// generous one that still stops a few bytes from claiming gigabytes: only a
// page with nothing on it compresses further.
uint64_t MaxExpansion(uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE:
            return 1;
        case COMPRESSION_PACKBITS:
            return 64;
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
        case COMPRESSION_PIXARLOG:
            return 1032;
        case COMPRESSION_LZW:
        case COMPRESSION_JPEG:
        case COMPRESSION_OJPEG:
            return 4096;
        case COMPRESSION_LZMA:
            return 16384;
        default:
            return 65536;
    }
}

bool HasPredictor(uint16_t compression) {
    switch (compression) {
        case COMPRESSION_LZW:
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
        case COMPRESSION_LZMA:
        case COMPRESSION_ZSTD:
            return true;
        default:
            return false;
    }
}

// A codec this libtiff lacks would fail on the first strip; say so before
// the raster is allocated. So would the codecs made for one or two bits
// per pixel or for log-luminance: a file that pairs one with 8-bit colour
// is damaged, however large it says it is.
void CheckCodec(uint16_t compression, uint32_t width, uint32_t height, bool bilevel) {
    const char* name = nullptr;
    switch (compression) {
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4:
        case COMPRESSION_CCITTRLEW:
            if (!bilevel) name = "CCITT fax";
            break;
        case COMPRESSION_NEXT:
            name = "NeXT";
            break;
        case COMPRESSION_THUNDERSCAN:
            name = "ThunderScan";
            break;
        case COMPRESSION_JBIG:
            name = "JBIG";
            break;
        case COMPRESSION_SGILOG:
        case COMPRESSION_SGILOG24:
            name = "SGI LogLuv";
            break;
        default:
            break;
    }
    if (name)
        throw CImageError("truncated or damaged TIFF file (compression " + std::to_string(compression) +
                          ", " + name + ", cannot hold 8-bit RGB or CMYK samples)");
    if (!TIFFIsCODECConfigured(compression))
        throw CImageError("compression " + std::to_string(compression) +
                          " is not supported (the TIFF library cannot decode it)");
    // WebP images are at most 16383 pixels on a side.
    constexpr uint32_t kMaxWebpSide = 16383;
    if (compression == COMPRESSION_WEBP && (width > kMaxWebpSide || height > kMaxWebpSide))
        throw CImageError("truncated or damaged TIFF file (WebP compression holds at most " +
                          std::to_string(kMaxWebpSide) + " pixels on a side)");
}

// Rows and tiles are where a large page spends its time in libtiff:
// Ctrl-C is heeded between them, as a failure the caller reports as the
// interruption.
void StopIfInterrupted() {
    if (InterruptRequested()) throw CImageError("interrupted");
}

[[noreturn]] void Damaged(const CTiff& tiff) {
    throw CImageError("truncated or damaged TIFF file (libtiff: " + tiff.Error() + ")");
}

// Entries may be read only when first needed: asked after the pixels too.
void RefuseDroppedEntry(const CTiff& tiff) {
    if (!tiff.DroppedEntry().empty())
        throw CImageError("truncated or damaged TIFF file (libtiff: " + tiff.DroppedEntry() + ")");
}

// The size of the open file; a file that cannot say holds nothing.
uint64_t FileBytes(TIFF* tif) { return uint64_t(TIFFGetSizeProc(tif)(TIFFClientdata(tif))); }

struct SLayout {
    uint16_t samples = 0;  // per pixel, in the file
    bool separate = false;
    uint16_t bits = 8;
    // Line art whose samples are not the raster's own (1-bit, white as
    // zero, a palette, 16-bit): decoded by libtiff's RGBA reader.
    bool viaRgba = false;
};

// Works out the colour model, alpha and sample layout, refusing anything
// the plug-in cannot flat.
SLayout CheckKind(TIFF* tif, SRaster& raster, bool lineArt) {
    if (TIFFNumberOfDirectories(tif) > 1)
        throw CImageError("holds " + std::to_string(TIFFNumberOfDirectories(tif)) +
                          " pages; only single-page TIFF files can be flatted");
    uint16_t photometric = 0, bits = 0, samples = 0, format = 0, planar = 0;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        throw CImageError("the TIFF file does not say what colours it holds (no Photometric tag)");
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);

    SLayout layout{samples, planar == PLANARCONFIG_SEPARATE, bits};
    switch (photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
            if (!lineArt) RejectGrayscale();
            raster.model = EColourModel::Gray;
            layout.viaRgba = photometric == PHOTOMETRIC_MINISWHITE || bits != 8;
            break;
        case PHOTOMETRIC_PALETTE:
            if (!lineArt) RejectPalette();
            raster.model = EColourModel::Rgb;
            layout.viaRgba = true;
            break;
        case PHOTOMETRIC_CIELAB:
        case PHOTOMETRIC_ICCLAB:
        case PHOTOMETRIC_ITULAB:
            RejectLab();
        case PHOTOMETRIC_YCBCR:
            RejectColourModel("YCbCr (JPEG-style)");
        case PHOTOMETRIC_RGB:
            raster.model = EColourModel::Rgb;
            break;
        case PHOTOMETRIC_SEPARATED: {
            uint16_t inkSet = INKSET_CMYK;
            TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
            if (inkSet != INKSET_CMYK) RejectColourModel("multi-ink separation");
            raster.model = EColourModel::Cmyk;
            break;
        }
        default:
            RejectColourModel("photometric " + std::to_string(photometric));
    }
    const bool readable =
        bits == 8 || (layout.viaRgba && (bits == 1 || bits == 2 || bits == 4 || bits == 16));
    if (!readable) RejectSampleBits(bits);
    if (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_VOID)
        throw CImageError(
            "signed or floating-point samples are not supported (only 8-bit RGB and CMYK images "
            "can be flatted)");

    const int extra = int(samples) - raster.ColourPlanes();
    if (extra < 0) throw CImageError("too few samples per pixel for its colour model");
    if (extra > 1)
        throw CImageError(std::to_string(extra) +
                          " extra channels are not supported (at most one alpha channel)");
    if (extra == 1) {
        uint16_t count = 0;
        uint16_t* kinds = nullptr;
        const uint16_t kind = TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &kinds) && count >= 1
                                  ? kinds[0]
                                  : uint16_t(EXTRASAMPLE_UNSPECIFIED);
        if (kind == EXTRASAMPLE_ASSOCALPHA)
            // Premultiplied colours darken with transparency, so line-art
            // detection and copied colours would both be wrong.
            throw CImageError("premultiplied (associated) alpha is not supported");
        // A channel of unknown meaning taken for alpha could make the whole
        // page transparent; the output could not keep it as it is either.
        if (kind != EXTRASAMPLE_UNASSALPHA)
            throw CImageError(
                "an extra channel that the file does not call alpha is not supported (at most one alpha "
                "channel)");
        raster.hasAlpha = true;
    }
    return layout;
}

void ReadFacts(TIFF* tif, SRaster& raster) {
    uint16_t orientation = ORIENTATION_TOPLEFT, compression = COMPRESSION_NONE, predictor = PREDICTOR_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    // Only these codecs have a predictor; asking any other logs an error
    // that would stand in for the file's real fault.
    if (HasPredictor(compression)) TIFFGetFieldDefaulted(tif, TIFFTAG_PREDICTOR, &predictor);
    raster.tiffOrientation = orientation;
    raster.tiffCompression = compression;
    raster.tiffPredictor = predictor;

    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) && x > 0 &&
        y > 0) {
        TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
        raster.resolution.present = true;
        raster.resolution.x = x;
        raster.resolution.y = y;
        raster.resolution.unit = unit == RESUNIT_CENTIMETER ? EResolutionUnit::Centimetre
                                 : unit == RESUNIT_NONE     ? EResolutionUnit::None
                                                            : EResolutionUnit::Inch;
    }
    uint32_t length = 0;
    void* profile = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &length, &profile) && profile && length)
        raster.iccProfile.assign(static_cast<const char*>(profile), length);
}

// Copies `count` decoded samples of a block `blockWidth` wide into the
// raster at (x0, y0), clipped to the image. `plane` < 0: all planes.
void PlaceBlock(SRaster& raster, const uint8_t* block, uint32_t blockWidth, uint32_t blockHeight, uint32_t x0,
                uint32_t y0, int plane) {
    const int planes = raster.Planes();
    const uint32_t width = std::min<uint32_t>(blockWidth, uint32_t(raster.width) - x0);
    const uint32_t height = std::min<uint32_t>(blockHeight, uint32_t(raster.height) - y0);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row =
            raster.pixels.Bytes().data() + size_t(y0 + y) * raster.RowBytes() + size_t(x0) * size_t(planes);
        if (plane < 0) {
            std::memcpy(row, block + size_t(y) * blockWidth * planes, size_t(width) * size_t(planes));
        } else {
            const uint8_t* source = block + size_t(y) * blockWidth;
            for (uint32_t x = 0; x < width; ++x) row[size_t(x) * size_t(planes) + size_t(plane)] = source[x];
        }
    }
}

// The buffer one tile decodes into, checked before the raster is allocated.
// A tile may reach past the image as far as a writer's usual sizes take it
// (the next power of two, or a fixed 256 or 512 for a small image); one far
// larger than the image it serves would only take memory, and the file's
// size is no bound where a few bytes of ZSTD stand for gigabytes.
uint64_t TileBytes(const CTiff& tiff, const SRaster& raster) {
    TIFF* tif = *tiff;
    uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
    const tmsize_t tileSize = TIFFTileSize(tif);
    if (tileWidth == 0 || tileHeight == 0 || tileSize <= 0) Damaged(tiff);
    static constexpr uint32_t kSmallImageTile = 1024;
    auto serves = [](uint32_t tile, int side) {
        return tile <= std::max(std::bit_ceil(uint32_t(side)), kSmallImageTile);
    };
    if (!serves(tileWidth, raster.width) || !serves(tileHeight, raster.height))
        throw CImageError("truncated or damaged TIFF file (tiles of " + std::to_string(tileWidth) + " x " +
                          std::to_string(tileHeight) + " pixels for an image of " +
                          std::to_string(raster.width) + " x " + std::to_string(raster.height) + ")");
    CheckFileCanHold(uint64_t(tileSize), FileBytes(tif), MaxExpansion(uint16_t(raster.tiffCompression)),
                     "TIFF");
    return uint64_t(tileSize);
}

void ReadTiles(const CTiff& tiff, SRaster& raster, const SLayout& layout, uint64_t tileBytes) {
    TIFF* tif = *tiff;
    uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
    std::vector<uint8_t> tile(static_cast<size_t>(tileBytes));
    const int passes = layout.separate ? layout.samples : 1;
    for (int sample = 0; sample < passes; ++sample)
        for (uint32_t y = 0; y < uint32_t(raster.height); y += tileHeight)
            for (uint32_t x = 0; x < uint32_t(raster.width); x += tileWidth) {
                StopIfInterrupted();
                if (TIFFReadTile(tif, tile.data(), x, y, 0, uint16_t(sample)) < 0) Damaged(tiff);
                PlaceBlock(raster, tile.data(), tileWidth, tileHeight, x, y, layout.separate ? sample : -1);
            }
}

// Interleaved strips decode straight into the raster, one strip at a time:
// a page is only ever as large in memory as what its file has really
// delivered so far. Strips are independent: each thread has a reader of
// its own on the one descriptor, and takes the next strip nobody has. A
// thread that cannot be started leaves its share to the others.
void ReadContiguousStrips(const CTiff& tiff, int fd, const std::string& path, SRaster& raster,
                          const SCodecOptions& options) {
    TIFF* tif = *tiff;
    uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, uint32_t(raster.height));
    if (TIFFScanlineSize64(tif) != raster.RowBytes()) Damaged(tiff);
    uint8_t* pixels = raster.pixels.Bytes().data();
    const uint32_t strips = (uint32_t(raster.height) + rowsPerStrip - 1) / rowsPerStrip;
    if (TIFFNumberOfStrips(tif) < strips) Damaged(tiff);

    std::vector<std::unique_ptr<CTiff>> readers;
    readers.push_back(nullptr);  // this thread's, `tiff`
    const uint32_t wanted = std::min<uint32_t>(uint32_t(std::max(options.threads, 1)), strips / 4 + 1);
    while (readers.size() < wanted) {
        auto reader = std::make_unique<CTiff>();
        if (!reader->OpenShared(fd, path)) break;  // then fewer threads
        readers.push_back(std::move(reader));
    }
    std::atomic<uint32_t> next{0}, done{0};
    std::atomic<bool> stop{false};
    std::vector<int> failed(readers.size(), 0);
    auto decode = [&](size_t index) {
        TIFF* t = index == 0 ? tif : **readers[index];
        for (uint32_t strip; !stop && (strip = next++) < strips;) {
            if (InterruptRequested()) {
                stop = true;
                return;
            }
            const uint32_t y = strip * rowsPerStrip;
            const uint32_t rows = std::min(rowsPerStrip, uint32_t(raster.height) - y);
            const tmsize_t bytes = tmsize_t(rows * raster.RowBytes());
            if (TIFFReadEncodedStrip(t, strip, pixels + size_t(y) * raster.RowBytes(), bytes) != bytes) {
                failed[index] = 1;
                stop = true;
                return;
            }
            ++done;
            if (index == 0) options.Report(double(done) / strips);  // progress from the calling thread only
        }
    };
    std::vector<std::thread> helpers;
    struct SJoin {
        std::vector<std::thread>& threads;
        ~SJoin() {
            for (std::thread& t : threads)
                if (t.joinable()) t.join();
        }
    } join{helpers};
    for (size_t index = 1; index < readers.size(); ++index) {
        try {
            helpers.emplace_back(decode, index);
        } catch (const std::system_error&) {
            break;
        }
    }
    decode(0);
    while (!helpers.empty() && !stop && done < strips) {
        options.Report(double(done) / strips);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (std::thread& t : helpers) t.join();
    helpers.clear();
    StopIfInterrupted();
    for (size_t index = 0; index < readers.size(); ++index) {
        if (failed[index]) Damaged(index == 0 ? tiff : *readers[index]);
        if (index > 0) RefuseDroppedEntry(*readers[index]);
    }
    options.Report(1);
}

void ReadStrips(const CTiff& tiff, SRaster& raster, const SLayout& layout) {
    TIFF* tif = *tiff;
    std::vector<uint8_t> line(size_t(std::max<tmsize_t>(TIFFScanlineSize(tif), 0)));
    if (line.size() < (layout.separate ? size_t(raster.width) : raster.RowBytes())) Damaged(tiff);
    const int passes = layout.separate ? layout.samples : 1;
    for (int sample = 0; sample < passes; ++sample)
        for (uint32_t y = 0; y < uint32_t(raster.height); ++y) {
            StopIfInterrupted();
            if (TIFFReadScanline(tif, line.data(), y, uint16_t(sample)) < 0) Damaged(tiff);
            PlaceBlock(raster, line.data(), uint32_t(raster.width), 1, 0, y, layout.separate ? sample : -1);
        }
}

// libtiff's RGBA reader turns any sample layout into 8-bit colour with an
// unassociated alpha, rows top down; the page takes what it holds of that.
// Only line art comes this way, and line art is small per pixel: the whole
// page is decoded in one go.
void ReadThroughRgba(const CTiff& tiff, SRaster& raster) {
    char why[1024] = "";
    if (!TIFFRGBAImageOK(*tiff, why))
        throw CImageError(std::string("cannot decode this TIFF's samples (libtiff: ") + why + ")");
    std::vector<uint32_t> rgba(size_t(raster.width) * size_t(raster.height));
    if (!TIFFReadRGBAImageOriented(*tiff, uint32_t(raster.width), uint32_t(raster.height), rgba.data(),
                                   ORIENTATION_TOPLEFT, 0))
        Damaged(tiff);
    StopIfInterrupted();
    raster.tiffOrientation = ORIENTATION_TOPLEFT;
    uint8_t* out = raster.pixels.Bytes().data();
    const bool gray = raster.model == EColourModel::Gray;
    for (const uint32_t pixel : rgba) {
        *out++ = uint8_t(TIFFGetR(pixel));
        if (!gray) {
            *out++ = uint8_t(TIFFGetG(pixel));
            *out++ = uint8_t(TIFFGetB(pixel));
        }
        if (raster.hasAlpha) *out++ = uint8_t(TIFFGetA(pixel));
    }
}

// Lossless codecs that this libtiff can write are kept; anything else (a
// lossy codec above all, which would alter untouched colours) becomes Deflate.
uint16_t OutputCompression(const SRaster& raster) {
    switch (raster.tiffCompression) {
        case COMPRESSION_NONE:
        case COMPRESSION_LZW:
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
        case COMPRESSION_PACKBITS:
        case COMPRESSION_LZMA:
        case COMPRESSION_ZSTD:
            if (TIFFIsCODECConfigured(uint16_t(raster.tiffCompression)))
                return uint16_t(raster.tiffCompression);
            break;
        default:
            break;
    }
    return COMPRESSION_ADOBE_DEFLATE;
}

void SetResolution(TIFF* tif, const SResolution& r) {
    if (!r.present || r.x <= 0 || r.y <= 0) return;
    double x = r.x, y = r.y;
    uint16_t unit = RESUNIT_INCH;
    switch (r.unit) {
        case EResolutionUnit::None:
            unit = RESUNIT_NONE;
            break;
        case EResolutionUnit::Inch:
            unit = RESUNIT_INCH;
            break;
        case EResolutionUnit::Centimetre:
            unit = RESUNIT_CENTIMETER;
            break;
        case EResolutionUnit::Metre:  // TIFF has no metre; centimetres keep the decimal value exact
            unit = RESUNIT_CENTIMETER;
            x /= 100.0;
            y /= 100.0;
            break;
    }
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, x);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, y);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, unit);
}

// libdeflate's quick levels lose little on flat colour: a deflated page
// stays far smaller than one written row by row at zlib's default level.
constexpr int kFastDeflateLevel = 2;

// Strips of about a megabyte: few enough that a whole strip goes to the
// codec at once (libtiff then deflates with libdeflate), small enough for
// any reader.
uint32_t RowsPerStrip(const SRaster& raster) {
    constexpr size_t kStripBytes = size_t(1) << 20;
    return uint32_t(std::clamp<size_t>(kStripBytes / raster.RowBytes(), 1, size_t(raster.height)));
}

void SetTags(TIFF* tif, const SRaster& raster, const SCodecOptions& options) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(raster.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(raster.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(raster.Planes()));
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, uint16_t(SAMPLEFORMAT_UINT));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    if (raster.model == EColourModel::Cmyk) {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_SEPARATED));
        TIFFSetField(tif, TIFFTAG_INKSET, uint16_t(INKSET_CMYK));
    } else {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_RGB));
    }
    if (raster.hasAlpha) {
        uint16_t kind = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(1), &kind);
    }
    const uint16_t compression = OutputCompression(raster);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    const bool predicts = compression != COMPRESSION_NONE && compression != COMPRESSION_PACKBITS;
    const bool keptCodec = compression == raster.tiffCompression;
    if (predicts && (!keptCodec || raster.tiffPredictor == PREDICTOR_HORIZONTAL))
        TIFFSetField(tif, TIFFTAG_PREDICTOR, uint16_t(PREDICTOR_HORIZONTAL));
    TIFFSetField(tif, TIFFTAG_ORIENTATION, uint16_t(raster.tiffOrientation));
    if (compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE)
        TIFFSetField(tif, TIFFTAG_ZIPQUALITY, options.smallest ? 9 : kFastDeflateLevel);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, RowsPerStrip(raster));
    SetResolution(tif, raster.resolution);
    if (!raster.iccProfile.empty())
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(raster.iccProfile.size()), raster.iccProfile.data());
}

}  // namespace

SRaster ReadTiff(const std::string& path, const SCodecOptions& options) {
    struct SDescriptor {
        int fd;
        ~SDescriptor() { ::close(fd); }
    } input{OpenInputFile(path)};
    CTiff tiff;
    if (!tiff.OpenShared(input.fd, path)) Damaged(tiff);
    if (tiff.StripSizesMended())
        throw CImageError("truncated or damaged TIFF file (the sizes of its strips do not match its rows)");
    RefuseDroppedEntry(tiff);
    TIFF* tif = *tiff;
    SRaster raster;
    const SLayout layout = CheckKind(tif, raster, options.lineArt);
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    CheckSize(width, height, options.lineArt ? kMaxLineArtSide : kMaxSide);
    raster.width = int(width);
    raster.height = int(height);
    ReadFacts(tif, raster);

    CheckCodec(uint16_t(raster.tiffCompression), width, height, layout.bits == 1);
    const uint64_t storedRowBytes = (uint64_t(width) * layout.samples * layout.bits + 7) / 8;
    CheckFileCanHold(storedRowBytes * uint64_t(raster.height), FileBytes(tif),
                     MaxExpansion(uint16_t(raster.tiffCompression)), "TIFF");
    // The RGBA reader's own copy of the page, or a tile buffer, comes on top.
    const uint64_t tileBytes = !layout.viaRgba && TIFFIsTiled(tif) ? TileBytes(tiff, raster) : 0;
    CheckPageFits(width, height, raster.Planes(), raster.hasAlpha, options,
                  layout.viaRgba ? 4 * uint64_t(width) * height : tileBytes);
    raster.pixels = sim::CHostImage::Uninitialised(raster.width, raster.height, raster.Planes());
    if (layout.viaRgba)
        ReadThroughRgba(tiff, raster);
    else if (TIFFIsTiled(tif))
        ReadTiles(tiff, raster, layout, tileBytes);
    else if (!layout.separate)
        ReadContiguousStrips(tiff, input.fd, path, raster, options);
    else
        ReadStrips(tiff, raster, layout);
    RefuseDroppedEntry(tiff);
    options.Report(1);
    return raster;
}

void WriteTiff(int fd, const std::string& name, const SRaster& raster, const SCodecOptions& options) {
    const int copy = ::dup(fd);
    if (copy < 0) throw CImageError(std::string("cannot write: ") + std::strerror(errno));
    CTiff tiff;
    // Classic TIFF addresses at most 4 GB; past a safe margin, BigTIFF.
    const bool big = raster.pixels.Bytes().size() > (size_t(3) << 30);
    errno = 0;
    if (!tiff.OpenFd(copy, name, big ? "w8" : "w")) {
        ::close(copy);
        FailWrite(tiff);
    }
    TIFF* tif = *tiff;
    SetTags(tif, raster, options);
    const uint32_t rowsPerStrip = RowsPerStrip(raster);
    const uint8_t* pixels = raster.pixels.Bytes().data();
    uint16_t compression = COMPRESSION_NONE, predictor = PREDICTOR_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE) {
        // Only codecs with a predictor know the tag; asking others is an error.
        TIFFGetFieldDefaulted(tif, TIFFTAG_PREDICTOR, &predictor);
        // Deflated strips are made on every core and written as they are.
        SStripDeflate job;
        job.pixels = pixels;
        job.rowBytes = raster.RowBytes();
        job.planes = raster.Planes();
        job.height = raster.height;
        job.rowsPerStrip = rowsPerStrip;
        job.predictor = predictor == PREDICTOR_HORIZONTAL;
        job.level = options.smallest ? 9 : kFastDeflateLevel;
        job.threads = options.threads;
        job.stopped = [&options] { return options.heedInterrupt && InterruptRequested(); };
        const uint32_t strips = (uint32_t(raster.height) + rowsPerStrip - 1) / rowsPerStrip;
        const std::vector<std::string> deflated =
            DeflateStrips(job, [&](uint32_t done) { options.Report(0.9 * done / strips); });
        if (deflated.empty()) throw CImageError("interrupted");
        for (uint32_t index = 0; index < strips; ++index) {
            errno = 0;
            if (TIFFWriteRawStrip(tif, index, const_cast<char*>(deflated[index].data()),
                                  tmsize_t(deflated[index].size())) < 0)
                FailWrite(tiff);
        }
    } else {
        // The predictor encodes in the buffer it is given: hand it a copy.
        std::vector<uint8_t> strip(rowsPerStrip * raster.RowBytes());
        for (uint32_t y = 0, index = 0; y < uint32_t(raster.height); y += rowsPerStrip, ++index) {
            const size_t bytes =
                std::min<uint32_t>(rowsPerStrip, uint32_t(raster.height) - y) * raster.RowBytes();
            std::memcpy(strip.data(), pixels + size_t(y) * raster.RowBytes(), bytes);
            if (options.heedInterrupt) StopIfInterrupted();
            errno = 0;
            if (TIFFWriteEncodedStrip(tif, index, strip.data(), tmsize_t(bytes)) < 0) FailWrite(tiff);
            options.Report(double(y) / raster.height);
        }
    }
    errno = 0;
    if (!TIFFWriteDirectory(tif)) FailWrite(tiff);
    errno = 0;
    if (!tiff.Close()) FailWrite(tiff);
}

}  // namespace cli
