#include "autoflat/Workers.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace autoflat {

int WorkerCount(int requested) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    (void)requested;
    return 1;
#else
    if (requested > 0) return std::min(requested, 256);
    const unsigned processors = std::thread::hardware_concurrency();
    return processors == 0 ? 1 : int(std::min(processors, 256u));
#endif
}

void ForEachPart(int workers, int64_t count, int64_t grain,
                 const std::function<void(int64_t, int64_t)>& job) {
    if (count <= 0) return;
    grain = std::max<int64_t>(grain, 1);
    const int64_t grains = (count + grain - 1) / grain;
    const int64_t parts = std::clamp<int64_t>(workers, 1, grains);
    if (parts == 1) {
        job(0, count);
        return;
    }
    std::exception_ptr failure;
    std::mutex failureLock;
    auto run = [&](int64_t part) {
        const int64_t begin = std::min(count, grains * part / parts * grain);
        const int64_t end = std::min(count, grains * (part + 1) / parts * grain);
        try {
            if (begin < end) job(begin, end);
        } catch (...) {
            std::lock_guard<std::mutex> lock(failureLock);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(size_t(parts - 1));
    try {
        for (int64_t part = 1; part < parts; ++part) threads.emplace_back(run, part);
    } catch (...) {
        // A thread that could not be made leaves its part to this one.
        for (int64_t part = int64_t(threads.size()) + 1; part < parts; ++part) run(part);
    }
    run(0);
    for (auto& thread : threads) thread.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace autoflat
