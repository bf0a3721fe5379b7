// The test programs' one replacement of operator new and delete. A plug-in
// loaded by the simulator resolves operator new to the program's own, so a
// test sees, and may refuse, every allocation of the program and of the
// plug-in alike. Linked only into the programs that need it
// (vandrel_allocation_hook): the others keep the runtime's own, which the
// sanitizers check more closely.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace testing_support {

// What the hook answers for one allocation.
struct SAllocationVerdict {
    bool refuse = false;   // throw std::bad_alloc (the nothrow forms return null)
    bool counted = false;  // count the block as live until it is freed
};

// Asked for every allocation, from any thread. `caller` is the address the
// call to operator new came from; `array` tells new[] from new.
using AllocationHook = SAllocationVerdict (*)(std::size_t size, const void* caller, bool array);

// Null: every allocation succeeds and none is counted.
void SetAllocationHook(AllocationHook hook);

// Blocks allocated with `counted` and not yet freed.
int64_t CountedBlocksLive();

// Failures still to hand out, taken one at a time by whichever allocation
// comes first, from any thread.
class CPendingFailures {
public:
    void Arm(int count) { pending_ = count; }
    int Pending() const { return pending_.load(); }
    bool Take() {
        int pending = pending_.load();
        while (pending > 0)
            if (pending_.compare_exchange_weak(pending, pending - 1)) return true;
        return false;
    }

private:
    std::atomic<int> pending_{0};
};

}  // namespace testing_support
