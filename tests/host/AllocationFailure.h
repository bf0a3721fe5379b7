// Makes operator new fail on demand in this test process, and with it in the
// plug-in it loads, which resolves operator new to the program's own.
#pragma once

// The next `count` allocations throw std::bad_alloc; later ones succeed.
void FailNextAllocations(int count);
int PendingAllocationFailures();
