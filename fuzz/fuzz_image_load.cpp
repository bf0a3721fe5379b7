// The command-line tool's image loading: any bytes as a PNG or TIFF file.
// The reader either throws its own error or returns a raster whose pixels
// fill exactly its declared size.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "cli/ImageError.h"
#include "cli/ImageFiles.h"
#include "cli/ImageLimits.h"
#include "fuzz/FuzzChecks.h"

namespace {

// The file lives in memory; readers open it by name like any other.
struct SMemoryFile {
    int fd = memfd_create("vandrel-fuzz-image", 0);
    std::string path = "/proc/self/fd/" + std::to_string(fd);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SMemoryFile file;
    FUZZ_CHECK(file.fd >= 0, "no memory file");
    FUZZ_CHECK(ftruncate(file.fd, 0) == 0, "cannot empty the memory file");
    FUZZ_CHECK(pwrite(file.fd, data, size, 0) == ssize_t(size), "cannot fill the memory file");

    // As a page to flat, and as line art, whose readers take every kind of sample.
    for (const bool lineArt : {false, true}) {
        cli::SCodecOptions options;
        options.lineArt = lineArt;
        try {
            cli::EImageFormat format;
            const cli::SRaster raster = cli::ReadImage(file.path, format, options);
            // Line art goes to auto flats, which no host's 16-bit signed sides limit.
            const uint32_t maxSide = lineArt ? cli::kMaxLineArtSide : cli::kMaxSide;
            FUZZ_CHECK(raster.width >= 1 && raster.height >= 1 && uint32_t(raster.width) <= maxSide &&
                           uint32_t(raster.height) <= maxSide,
                       "a raster outside the sizes its reader takes");
            FUZZ_CHECK(raster.pixels.Bytes().size() == raster.RowBytes() * size_t(raster.height),
                       "the pixels do not fill the raster's size");
            FUZZ_CHECK(lineArt || raster.model != cli::EColourModel::Gray, "a gray page for the plug-in");
        } catch (const cli::CImageError&) {
            // A file the tool refuses, with a reason for the user.
        }
    }
    return 0;
}
