// Makes operator new fail inside the plug-in's worker threads: the plug-in
// resolves operator new to this program's, and the host's thread is told
// apart from the workers by who armed the failure.
#pragma once

namespace threads_testing {

// Of the allocations made from now on by threads other than the calling
// one, the `nth` (1 for the next) throws std::bad_alloc; all others succeed.
void FailWorkerAllocation(int nth);
void StopFailingAllocations();
// Whether the armed failure has been thrown.
bool WorkerAllocationFailed();

}  // namespace threads_testing
