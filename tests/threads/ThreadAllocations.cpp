#include "tests/threads/ThreadAllocations.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace threads_testing {
namespace {

std::atomic<bool> gArmed{false};
std::atomic<int> gCountdown{0};
std::atomic<bool> gFailed{false};
std::thread::id gHostThread;

void* Allocate(std::size_t size) {
    if (gArmed.load(std::memory_order_acquire) && std::this_thread::get_id() != gHostThread &&
        gCountdown.fetch_sub(1) == 1) {
        gFailed = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

}  // namespace

void FailWorkerAllocation(int nth) {
    gHostThread = std::this_thread::get_id();
    gFailed = false;
    gCountdown = nth;
    gArmed.store(true, std::memory_order_release);
}

void StopFailingAllocations() { gArmed = false; }
bool WorkerAllocationFailed() { return gFailed.load(); }

}  // namespace threads_testing

void* operator new(std::size_t size) { return threads_testing::Allocate(size); }
void* operator new[](std::size_t size) { return threads_testing::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return threads_testing::Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
