#include "engine/ThreadedPass.h"

#include <algorithm>
#include <boost/bind/bind.hpp>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/thread/thread.hpp>
#include <memory>

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

void RunThreadedPass(const SFlatImage& image, const CVandrelParams& params, CPassHost& host, int workerCount,
                     EFlatMethod method) {
    const int n = std::clamp(workerCount, 1, kMaxWorkers);
    CWorkerFailure failure;  // declared first: outlives every worker
    boost::thread_group workers;
    CWorkerStopper stopper(workers);

    const int q = image.height / n;
    VandrelThread job(&host, &params);
    job.isCmyk = image.isCmyk;
    job.blackLimit = BlackLimit(image.isCmyk);
    job.imageHeight = image.height;
    job.imageWidth = image.width;
    job.planeCount = uint8_t(image.planeCount);
    job.inData = image.inData;
    job.outData = image.outData;
    job.inPlaneBytes = image.inPlaneBytes;
    job.outPlaneBytes = image.outPlaneBytes;
    job.inColumnBytes = image.inColumnBytes;
    job.outColumnBytes = image.outColumnBytes;
    job.inRowBytes = image.inRowBytes;
    job.outRowBytes = image.outRowBytes;
    job.stripHeight = kStripRows;
    job.failure = &failure;
    job.method = method;

    boost::thread* last = nullptr;
    for (int i = 0; i < n; ++i) {
        job.firstRow = i == 0 ? 0 : job.endRow;
        job.endRow = i == n - 1 ? image.height : uint16_t((i + 1) * q);
        if (gPassFaultHook) gPassFaultHook(EPassPoint::CreatingWorker, job.firstRow, job.firstRow);
        last = StartWorker(workers, job);
    }

    // Only the last band's worker is watched; the host hears from the pass
    // at least every kWorkerPollMs while it runs.
    for (;;) {
        const bool ended = last->timed_join(boost::posix_time::microsec_clock::universal_time() +
                                            boost::posix_time::milliseconds(kWorkerPollMs));
        host.ReportProgress(host.RowsDone());
        if (host.TestAbort()) workers.interrupt_all();
        if (ended) break;
    }
    // Once any worker has failed the others stop by themselves within a
    // column, so this join is short either way.
    workers.join_all();
    stopper.Disarm();

    if (failure.Raised()) std::rethrow_exception(failure.Error());
    host.ReportProgress(host.RowsDone());
}
