#include "tests/support/AllocationHook.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace testing_support {
namespace {

// Every block carries a small header saying whether it is counted, so that
// a block is counted out exactly when it was counted in, whatever the hook
// says by the time it is freed.
constexpr uint32_t kCounted = 0x636f756e;
constexpr uint32_t kPlain = 0x706c6169;
struct alignas(16) SHeader {
    uint32_t kind;
};

std::atomic<AllocationHook> gHook{nullptr};
std::atomic<int64_t> gCountedLive{0};

void* Allocate(std::size_t size, const void* caller, bool array) {
    SAllocationVerdict verdict;
    if (const AllocationHook hook = gHook.load(std::memory_order_acquire))
        verdict = hook(size, caller, array);
    if (verdict.refuse) throw std::bad_alloc();
    auto* header = static_cast<SHeader*>(std::malloc(sizeof(SHeader) + (size ? size : 1)));
    if (!header) throw std::bad_alloc();
    header->kind = verdict.counted ? kCounted : kPlain;
    if (verdict.counted) gCountedLive.fetch_add(1, std::memory_order_relaxed);
    return header + 1;
}

void* AllocateOrNull(std::size_t size, const void* caller, bool array) noexcept {
    try {
        return Allocate(size, caller, array);
    } catch (...) {
        return nullptr;
    }
}

void Free(void* block) noexcept {
    if (!block) return;
    SHeader* header = static_cast<SHeader*>(block) - 1;
    if (header->kind == kCounted) gCountedLive.fetch_sub(1, std::memory_order_relaxed);
    header->kind = 0;
    std::free(header);
}

}  // namespace

void SetAllocationHook(AllocationHook hook) { gHook.store(hook, std::memory_order_release); }
int64_t CountedBlocksLive() { return gCountedLive.load(); }

}  // namespace testing_support

using testing_support::Allocate;
using testing_support::AllocateOrNull;
using testing_support::Free;

void* operator new(std::size_t size) { return Allocate(size, __builtin_return_address(0), false); }
void* operator new[](std::size_t size) { return Allocate(size, __builtin_return_address(0), true); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size, __builtin_return_address(0), false);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size, __builtin_return_address(0), true);
}
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
