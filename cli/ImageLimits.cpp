#include "cli/ImageLimits.h"

#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

// The limit in a control group's file, or kUnlimited: version 1 writes its
// "none" as a huge number, version 2 as "max".
uint64_t GroupLimit(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return kUnlimited;
    return NumberIn(file.c_str());
}

// A group's path as /proc/self/cgroup gives it, inside the root; "" when
// it would lead out of it.
std::filesystem::path GroupPath(const std::string& path) {
    if (path.empty() || path[0] != '/' || path.find("..") != std::string::npos) return {};
    return std::filesystem::path(path.substr(1));
}

std::atomic<uint64_t> gHeldElsewhere{0};

// Each thread's stack is reserved whole in the address space. A batch
// runs a stage's threads beside the plug-in's, and one for the files.
uint64_t ThreadStacks(int threads) {
    size_t stack = 0;
    pthread_attr_t defaults;
    if (::pthread_getattr_default_np(&defaults) == 0) {
        ::pthread_attr_getstacksize(&defaults, &stack);
        ::pthread_attr_destroy(&defaults);
    }
    if (stack == 0) stack = size_t(8) << 20;
    return uint64_t(2 * std::max(threads, 1) + 1) * uint64_t(stack);
}

uint64_t Less(uint64_t from, uint64_t taken) { return from > taken ? from - taken : 0; }

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

void CheckSize(uint64_t width, uint64_t height, uint32_t maxSide) {
    if (width == 0 || height == 0) throw CImageError("the image has no pixels");
    if (width > maxSide || height > maxSide)
        throw CImageError(std::to_string(width) + " x " + std::to_string(height) + " pixels is more than " +
                          std::to_string(maxSide) + " pixels on a side");
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

namespace {

// The machine's memory and its control groups' limits: what is resident.
uint64_t ResidentAvailable() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageBytes = ::sysconf(_SC_PAGESIZE);
    uint64_t available = pages > 0 && pageBytes > 0 ? uint64_t(pages) * uint64_t(pageBytes) : kUnlimited;
    std::ifstream file("/proc/self/cgroup");
    std::stringstream membership;
    membership << file.rdbuf();
    return std::min(available, ControlGroupMemoryLimit(membership.str(), "/sys/fs/cgroup"));
}

// The address space left under the process's limits: what is in use,
// other pages included, is already taken from it.
uint64_t AddressSpaceLeft() {
    return std::min(LimitLeft(RLIMIT_AS, StatusBytes("VmSize:")),
                    LimitLeft(RLIMIT_DATA, StatusBytes("VmData:")));
}

}  // namespace

uint64_t MemoryAvailable() { return std::min(ResidentAvailable(), AddressSpaceLeft()); }

uint64_t ControlGroupMemoryLimit(const std::string& membership, const std::string& root) {
    namespace fs = std::filesystem;
    uint64_t limit = kUnlimited;
    std::istringstream lines(membership);
    for (std::string line; std::getline(lines, line);) {
        // hierarchy-ID:controllers:path
        const size_t first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const fs::path group = GroupPath(line.substr(second + 1));
        if (group.empty() && line.substr(second + 1) != "/") continue;
        bool memory = false;
        std::istringstream names(controllers);
        for (std::string name; std::getline(names, name, ',');) memory = memory || name == "memory";
        if (memory) {
            // A container sees its own group as the hierarchy's root; a
            // group's path may then name nothing inside it.
            for (fs::path at = group;; at = at.parent_path()) {
                limit = std::min(limit, GroupLimit(fs::path(root) / "memory" / at / "memory.limit_in_bytes"));
                if (at.empty()) break;
            }
        } else if (line.compare(0, 3, "0::") == 0) {
            for (fs::path at = group;; at = at.parent_path()) {
                limit = std::min(limit, GroupLimit(fs::path(root) / at / "memory.max"));
                if (at.empty()) break;
            }
        }
    }
    // Version 1 writes "no limit" as the largest page-aligned signed number.
    constexpr uint64_t kNoLimitV1 = uint64_t(1) << 62;
    return limit >= kNoLimitV1 ? kUnlimited : limit;
}

void SetMemoryHeldElsewhere(uint64_t bytes) { gHeldElsewhere = bytes; }

void KeepAllocatorPoolsCountable() {
    rlimit as{}, data{};
    const bool limited = (::getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY) ||
                         (::getrlimit(RLIMIT_DATA, &data) == 0 && data.rlim_cur != RLIM_INFINITY);
    if (limited) ::mallopt(M_ARENA_MAX, 1);
}

void CheckPageFits(uint32_t width, uint32_t height, int planes, bool hasAlpha, const SCodecOptions& options,
                   uint64_t readerBytes) {
    const uint64_t rawBytes = uint64_t(width) * height * uint64_t(planes);
    const uint64_t work = options.pageNeed ? options.pageNeed(width, height, planes, hasAlpha)
                                           : PageMemoryNeed(rawBytes, planes, hasAlpha);
    const uint64_t need = std::max(work + readerBytes, rawBytes + readerBytes + kWorkingBytes);
    const uint64_t available = std::min(Less(ResidentAvailable(), gHeldElsewhere.load()),
                                        Less(AddressSpaceLeft(), ThreadStacks(options.threads)));
    if (need > available)
        throw CImageError(std::string(kNotEnoughMemory) + ": " +
                          (options.lineArt ? "auto flats of" : "flatting") + " its " + Megabytes(rawBytes) +
                          " of pixels takes about " + Megabytes(need) + ", and at most " +
                          Megabytes(available) + " can be had here");
}

}  // namespace cli
