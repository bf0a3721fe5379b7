#include "tests/host/AllocationFailure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<int> gFailures{0};

void* Allocate(std::size_t size) {
    int pending = gFailures.load();
    while (pending > 0) {
        if (gFailures.compare_exchange_weak(pending, pending - 1)) throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

void FailNextAllocations(int count) { gFailures = count; }
int PendingAllocationFailures() { return gFailures.load(); }

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
