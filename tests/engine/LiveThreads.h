// The threads of this process, as the kernel lists them.
#pragma once

namespace threads_testing {

// Threads that have not yet exited: a thread that has been joined may
// linger in the list for a moment as a zombie, which is not counted.
int LiveThreads();

}  // namespace threads_testing
