#include "engine/VandrelThread.h"

#include <algorithm>
#include <boost/thread/thread.hpp>
#include <optional>

#include "engine/FlatStrip.h"
#include "engine/PixelDistance.h"

PassFaultHook gPassFaultHook = nullptr;

namespace {

class CWorkerStripStop : public CStripStop {
public:
    CWorkerStripStop(const CWorkerFailure* failure, const std::atomic<bool>* leave) : failure_(failure), leave_(leave) {}
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

VandrelThread::VandrelThread(CPassHost* filter, const CVandrelParams* params) : filter(filter), params(params) {}

void VandrelThread::ReportRows(int32_t rowsSoFar) {
    filter->AddRowsDone(rowsSoFar - int32_t(rowsReported));
    rowsReported = uint32_t(rowsSoFar);
}

bool VandrelThread::StopRequested() const { return boost::this_thread::interruption_requested(); }

void VandrelThread::Run() {
    CPixelDistance search(offsetTable ? offsetTable : std::make_shared<COffsetTable>());
    search.maxRings = params->maxDepth;
    search.LimitGrowthToImage(imageWidth, imageHeight);

    SFlatImage image;
    image.inData = inData;
    image.inRowBytes = inRowBytes;
    image.inColumnBytes = inColumnBytes;
    image.inPlaneBytes = inPlaneBytes;
    image.outData = outData;
    image.outRowBytes = outRowBytes;
    image.outColumnBytes = outColumnBytes;
    image.outPlaneBytes = outPlaneBytes;
    image.width = imageWidth;
    image.height = imageHeight;
    image.planeCount = planeCount;
    image.isCmyk = isCmyk;
    const bool paintWhite = params->PaintsWhite();
    const int32_t step = std::max<int32_t>(stripHeight, 1);
    std::optional<CAssistedStrips> assisted;
    if (method == EFlatMethod::DistanceAssisted) assisted.emplace(image, search, paintWhite, squareSums.get());

    CWorkerStripStop stop(failure, leaveStrips);
    int32_t rowsSoFar = 0;
    for (int32_t row = firstRow; row < endRow; row += step) {
        const int32_t rows = std::min(step, endRow - row);
        if (gPassFaultHook) gPassFaultHook(EPassPoint::StartingStrip, firstRow, row);
        const bool whole = assisted ? assisted->FlatStrip(row, rows, &stop)
                                    : FlatStrip(row, rows, image, search, paintWhite, &stop);
        if (failure && failure->Raised()) break;
        if (!whole) {
            UndoStrip(row, rows, image);
            break;
        }
        rowsSoFar += rows;
        ReportRows(rowsSoFar);
        if (StopRequested()) break;
    }
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
