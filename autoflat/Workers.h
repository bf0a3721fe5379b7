// Work split over a fixed number of workers. One worker runs everything in
// the calling thread and creates no thread at all: the WebAssembly build has
// none to create.
#pragma once

#include <cstdint>
#include <functional>

namespace autoflat {

// The count to use for a request: 0 asks for the machine's processors.
int WorkerCount(int requested);

// Calls job(begin, end) for `parts` contiguous parts of 0 .. count - 1,
// part boundaries rounded to multiples of `grain`. The calling thread takes
// the first part. Every job has ended when this returns; the first
// exception a job threw is rethrown then.
void ForEachPart(int workers, int64_t count, int64_t grain, const std::function<void(int64_t, int64_t)>& job);

}  // namespace autoflat
