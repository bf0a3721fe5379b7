#include "tests/host/AllocationFailure.h"

#include "tests/support/AllocationHook.h"

using testing_support::SAllocationVerdict;

namespace {
testing_support::CPendingFailures gFailures;

SAllocationVerdict FailPending(std::size_t, const void*, bool) { return {gFailures.Take(), false}; }
}  // namespace

void FailNextAllocations(int count) {
    gFailures.Arm(count);
    testing_support::SetAllocationHook(FailPending);
}

int PendingAllocationFailures() { return gFailures.Pending(); }
