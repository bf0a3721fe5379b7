#include "cli/ImageLimits.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "cli/ImageError.h"

namespace cli {

namespace {

const char* const kWhatFits = " (only 8-bit RGB and CMYK images can be flatted)";

constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();
// The plug-in's search tables and workers, the codecs' buffers, the program.
constexpr uint64_t kWorkingBytes = uint64_t(24) << 20;

// A number from a /proc or /sys file's first line, or kUnlimited ("max",
// missing, unreadable).
uint64_t NumberIn(const char* path) {
    std::ifstream file(path);
    uint64_t value = 0;
    return file >> value ? value : kUnlimited;
}

// kB of a field of /proc/self/status.
uint64_t StatusBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return uint64_t(std::atoll(line.c_str() + std::strlen(field))) << 10;
    return 0;
}

uint64_t LimitLeft(int resource, uint64_t inUse) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
    return uint64_t(limit.rlim_cur) > inUse ? uint64_t(limit.rlim_cur) - inUse : 0;
}

std::string Megabytes(uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB"; }

}  // namespace

void RejectColourModel(const std::string& name) {
    throw CImageError(name + " images are not supported" + kWhatFits);
}

void RejectGrayscale() { RejectColourModel("grayscale"); }
void RejectPalette() { RejectColourModel("palette (indexed-colour)"); }
void RejectLab() { RejectColourModel("Lab"); }

void RejectSampleBits(int bits) {
    throw CImageError(std::to_string(bits) + "-bit samples are not supported" + kWhatFits);
}

void CheckSize(uint64_t width, uint64_t height) {
    if (width == 0 || height == 0) throw CImageError("the image has no pixels");
    if (width > kMaxSide || height > kMaxSide)
        throw CImageError(std::to_string(width) + " x " + std::to_string(height) + " pixels is more than " +
                          std::to_string(kMaxSide) + " pixels on a side");
}

void CheckFileCanHold(uint64_t rawBytes, uint64_t fileBytes, uint64_t maxExpansion, const char* format) {
    // Overflow is no concern: files stay far below 2^40 bytes, expansions 2^16.
    if (rawBytes > fileBytes * maxExpansion)
        throw CImageError(std::string("truncated or damaged ") + format + " file (" +
                          std::to_string(fileBytes) + " bytes cannot hold the pixels it declares)");
}

uint64_t PageMemoryNeed(uint64_t rawBytes, int planes, bool hasAlpha) {
    const uint64_t lent = 2 * rawBytes;
    const uint64_t copied = hasAlpha ? 2 * (rawBytes / uint64_t(planes)) * uint64_t(planes - 1) : 0;
    return lent + copied + kWorkingBytes;
}

uint64_t MemoryAvailable() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageBytes = ::sysconf(_SC_PAGESIZE);
    uint64_t available = pages > 0 && pageBytes > 0 ? uint64_t(pages) * uint64_t(pageBytes) : kUnlimited;
    available = std::min(available, NumberIn("/sys/fs/cgroup/memory.max"));
    available = std::min(available, LimitLeft(RLIMIT_AS, StatusBytes("VmSize:")));
    available = std::min(available, LimitLeft(RLIMIT_DATA, StatusBytes("VmData:")));
    return available;
}

void CheckPageFits(uint32_t width, uint32_t height, int planes, bool hasAlpha, const SCodecOptions& options,
                   uint64_t decoderBytes) {
    const uint64_t rawBytes = uint64_t(width) * height * uint64_t(planes);
    const uint64_t need = decoderBytes + (options.pageNeed ? options.pageNeed(width, height, planes, hasAlpha)
                                                           : PageMemoryNeed(rawBytes, planes, hasAlpha));
    const uint64_t available = MemoryAvailable();
    if (need > available)
        throw CImageError(std::string(kNotEnoughMemory) + ": " +
                          (options.lineArt ? "auto flats of" : "flatting") + " its " + Megabytes(rawBytes) +
                          " of pixels takes about " + Megabytes(need) + ", and at most " +
                          Megabytes(available) + " can be had here");
}

}  // namespace cli
