#include "tests/engine/ThreadAllocations.h"

#include <atomic>
#include <thread>

#include "tests/support/AllocationHook.h"

namespace threads_testing {
namespace {

std::atomic<bool> gArmed{false};
std::atomic<int> gCountdown{0};
std::atomic<bool> gFailed{false};
std::thread::id gHostThread;

testing_support::SAllocationVerdict FailWorkers(std::size_t, const void*, bool) {
    if (gArmed.load(std::memory_order_acquire) && std::this_thread::get_id() != gHostThread &&
        gCountdown.fetch_sub(1) == 1) {
        gFailed = true;
        return {true, false};
    }
    return {};
}

}  // namespace

void FailWorkerAllocation(int nth) {
    gHostThread = std::this_thread::get_id();
    gFailed = false;
    gCountdown = nth;
    testing_support::SetAllocationHook(FailWorkers);
    gArmed.store(true, std::memory_order_release);
}

void StopFailingAllocations() { gArmed = false; }
bool WorkerAllocationFailed() { return gFailed.load(); }

}  // namespace threads_testing
