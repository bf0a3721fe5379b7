#include "engine/ThreadedPass.h"

#include <algorithm>
#include <boost/bind/bind.hpp>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/thread/thread.hpp>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "engine/FlatStrip.h"
#include "engine/VandrelThread.h"

namespace {

// Whatever leaves the pass early (a worker that cannot be created, a host
// callback that throws), the workers already running are asked to stop and
// joined before it goes on: they write into the host's buffers.
class CWorkerStopper {
public:
    explicit CWorkerStopper(boost::thread_group& workers) : workers_(workers) {}
    ~CWorkerStopper() {
        if (!armed_) return;
        try {
            workers_.interrupt_all();
            workers_.join_all();
        } catch (...) {
            // Joining cannot be retried from a destructor; the exception
            // already leaving the pass is the one to report.
        }
    }
    void Disarm() { armed_ = false; }

private:
    boost::thread_group& workers_;
    bool armed_ = true;
};

// Adds a running worker to the group. Should the group refuse it, the
// worker is stopped and joined here, since nothing else would.
boost::thread* StartWorker(boost::thread_group& workers, const VandrelThread& job) {
    std::unique_ptr<boost::thread> worker(new boost::thread(boost::bind(&ThreadEntry, job)));
    try {
        workers.add_thread(worker.get());
    } catch (...) {
        worker->interrupt();
        worker->join();
        throw;
    }
    return worker.release();
}

}  // namespace

void RunThreadedPass(const SFlatImage& image, const SPassSettings& settings, CPassHost& host,
                     int workerCount) {
    RequireBlackPlane(image);
    const int n = std::clamp(workerCount, 1, kMaxWorkers);
    CWorkerFailure failure;  // declared first: outlives every worker
    std::atomic<bool> leaveStrips{false};
    boost::thread_group workers;
    CWorkerStopper stopper(workers);

    const int q = image.height / n;
    VandrelThread job(&host, &settings, image);
    job.stripHeight = kStripRows;
    job.failure = &failure;
    job.leaveStrips = &leaveStrips;
    job.offsetTable = std::make_shared<COffsetTable>();
    job.squareSums = std::make_shared<CSharedSquareSums>();

    boost::thread* last = nullptr;
    std::vector<boost::thread*> started;  // owned by `workers`
    started.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        job.firstRow = i == 0 ? 0 : job.endRow;
        job.endRow = i == n - 1 ? image.height : uint16_t((i + 1) * q);
        if (gPassFaultHook) gPassFaultHook(EPassPoint::CreatingWorker, job.firstRow, job.firstRow);
        last = StartWorker(workers, job);
        started.push_back(last);
    }

    // Only the last band's worker is watched; the host hears from the pass
    // at least every kWorkerPollMs while it runs.
    std::optional<std::chrono::steady_clock::time_point> cancelledAt;
    for (;;) {
        const bool ended = last->timed_join(boost::posix_time::microsec_clock::universal_time() +
                                            boost::posix_time::milliseconds(kWorkerPollMs));
        host.ReportProgress(host.RowsDone());
        if (host.TestAbort()) {
            workers.interrupt_all();
            if (!cancelledAt) cancelledAt = std::chrono::steady_clock::now();
        }
        // A strip normally ends well within the grace; one of a nearly black
        // page at a great depth may take minutes.
        if (cancelledAt &&
            std::chrono::steady_clock::now() - *cancelledAt >= std::chrono::milliseconds(kStripGraceMs))
            leaveStrips.store(true, std::memory_order_relaxed);
        if (ended) break;
    }
    if (cancelledAt && !leaveStrips.load(std::memory_order_relaxed)) {
        // The rest of the grace, without polling the host: the workers still
        // running are joined silently.
        const auto left =
            std::chrono::milliseconds(kStripGraceMs) - (std::chrono::steady_clock::now() - *cancelledAt);
        const auto deadline = boost::posix_time::microsec_clock::universal_time() +
                              boost::posix_time::milliseconds(std::max<int64_t>(
                                  0, std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
        for (boost::thread* worker : started) worker->timed_join(deadline);
        leaveStrips.store(true, std::memory_order_relaxed);
    }
    // Workers still running finish their bands; once any has failed, or the
    // grace of a cancel is over, they leave their strips within 64 pixels.
    workers.join_all();
    stopper.Disarm();

    if (failure.Raised()) std::rethrow_exception(failure.Error());
    host.ReportProgress(host.RowsDone());
}
