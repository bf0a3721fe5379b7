#include "engine/VandrelThread.h"

#include <boost/thread/thread.hpp>

#include "engine/BandWalker.h"
#include "engine/PixelDistance.h"

PassFaultHook gPassFaultHook = nullptr;

namespace {

class CWorkerStripStop : public CStripStop {
public:
    CWorkerStripStop(const CWorkerFailure* failure, const std::atomic<bool>* leave)
        : failure_(failure), leave_(leave) {}
    bool Look() override {
        return (failure_ && failure_->Raised()) || (leave_ && leave_->load(std::memory_order_relaxed));
    }

private:
    const CWorkerFailure* failure_;
    const std::atomic<bool>* leave_;
};

}  // namespace

void CWorkerFailure::Capture(std::exception_ptr error) noexcept {
    if (claimed_.exchange(true)) return;
    error_ = std::move(error);
    raised_.store(true, std::memory_order_release);
}

VandrelThread::VandrelThread(CPassHost* filter, const SPassSettings* params, const SFlatImage& image)
    : image(image), filter(filter), params(params) {
    this->image.planeCount = uint8_t(image.planeCount);
}

void VandrelThread::ReportRows(int32_t rowsSoFar) {
    filter->AddRowsDone(rowsSoFar - int32_t(rowsReported));
    rowsReported = uint32_t(rowsSoFar);
}

bool VandrelThread::StopRequested() const { return boost::this_thread::interruption_requested(); }

void VandrelThread::Run() {
    CPixelDistance search(offsetTable ? offsetTable : std::make_shared<COffsetTable>());
    search.maxRings = params->maxDepth;
    CBandWalker walker(image, search, *params, squareSums.get());

    CWorkerStripStop stop(failure, leaveStrips);
    SBandHooks hooks;
    hooks.stripStarting = [this](int32_t row) {
        if (gPassFaultHook) gPassFaultHook(EPassPoint::StartingStrip, firstRow, row);
    };
    hooks.stop = &stop;
    hooks.abandoned = [this] { return failure && failure->Raised(); };
    hooks.stripDone = [this](int32_t rowsSoFar) {
        ReportRows(rowsSoFar);
        return !StopRequested();
    };
    walker.Walk(firstRow, endRow, stripHeight, hooks);
}

void ThreadEntry(VandrelThread job) {
    try {
        job.Run();
    } catch (const boost::thread_interrupted&) {
        // A stop request, not a failure: nothing in Run waits, but a hook may.
    } catch (...) {
        if (job.failure) job.failure->Capture(std::current_exception());
    }
}
