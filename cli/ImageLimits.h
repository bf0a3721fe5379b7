// What the plug-in can take, and the words for what it cannot: the same
// reasons whichever file format brought the image.
#pragma once

#include <cstdint>
#include <string>

#include "cli/CodecOptions.h"

namespace cli {

// The host interface gives image sizes as 16-bit signed numbers.
constexpr uint32_t kMaxSide = 32767;
// Auto flats, which no host stands between, take sides up to 16 bits
// (a webtoon strip runs to tens of thousands of pixels).
constexpr uint32_t kMaxLineArtSide = 65535;

[[noreturn]] void RejectGrayscale();
[[noreturn]] void RejectPalette();
[[noreturn]] void RejectLab();
[[noreturn]] void RejectColourModel(const std::string& name);
[[noreturn]] void RejectSampleBits(int bits);

// Throws unless both sides are between 1 and `maxSide`.
void CheckSize(uint64_t width, uint64_t height, uint32_t maxSide = kMaxSide);

// The raster is allocated whole before the first row is decoded, so a file
// of a few hundred bytes that declares 32767 x 32767 pixels would take four
// gigabytes. No file can expand beyond what its compression allows (deflate
// at most 1032 to 1); one that claims more is damaged, and is refused as
// such before anything is allocated. Throws CImageError naming `format`.
void CheckFileCanHold(uint64_t rawBytes, uint64_t fileBytes, uint64_t maxExpansion, const char* format);

// What flatting a page of `rawBytes` samples will take: the pixels read and
// the output, and with an alpha plane (which the host does not lend) the
// colour planes copied once more each way; plus the plug-in's own needs.
uint64_t PageMemoryNeed(uint64_t rawBytes, int planes, bool hasAlpha);

// The most memory this process can expect: the least of the machine's
// memory, its control groups' limits and the address space left under the
// process's limits.
uint64_t MemoryAvailable();

// The least memory limit of the control groups (version 1's memory
// hierarchy, or version 2's groups from the one named up to the top) that
// `membership`, as /proc/self/cgroup reads, names under `root`, normally
// /sys/fs/cgroup. UINT64_MAX for none.
uint64_t ControlGroupMemoryLimit(const std::string& membership, const std::string& root);

// What the other pages of a batch hold while this one is read and flatted
// beside them; 0 when it has the memory to itself.
void SetMemoryHeldElsewhere(uint64_t bytes);

// Under an address-space limit every thread's allocator pool reserves
// tens of megabytes of it, however little it uses, and whether a thread
// gets a pool of its own depends on timing: with one pool for all, what a
// page costs can be counted. Called once, before any thread starts.
void KeepAllocatorPoolsCountable();

// How every refusal for want of memory begins.
inline constexpr const char* kNotEnoughMemory = "not enough memory for this page";

// Throws CImageError, before anything is allocated, when a page of this
// size cannot be worked on in the memory there is: `options.pageNeed` says
// what the work takes, by default flatting's PageMemoryNeed; `readerBytes`
// more are held while it is read, and `options.threads` threads run each
// stage. A file that is not damaged can still declare more than this
// machine can hold.
void CheckPageFits(uint32_t width, uint32_t height, int planes, bool hasAlpha,
                   const SCodecOptions& options = {}, uint64_t readerBytes = 0);

}  // namespace cli
