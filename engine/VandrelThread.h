// One worker's job in the multi-threaded pass: a contiguous band of rows,
// flatted strip by strip with a search of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>

#include "engine/fastpath/FastPathStrips.h"
#include "engine/FlatImage.h"
#include "engine/OffsetOrder.h"
#include "engine/PassHost.h"
#include "engine/PassSettings.h"

// Where a failing worker leaves its exception for the host's thread, which
// rethrows it once every worker has been joined. The first failure wins; the
// others are the same kind of trouble and are dropped.
class CWorkerFailure {
public:
    void Capture(std::exception_ptr error) noexcept;
    bool Raised() const noexcept { return raised_.load(std::memory_order_acquire); }
    // Only after the workers have been joined.
    std::exception_ptr Error() const { return error_; }

private:
    std::atomic<bool> claimed_{false};
    std::atomic<bool> raised_{false};
    std::exception_ptr error_;
};

class VandrelThread {
public:
    // The image is handed over whole, here and nowhere else; a job holds
    // the plane count in 8 bits, as it always has.
    VandrelThread(CPassHost* filter, const SPassSettings* params, const SFlatImage& image);
    VandrelThread(const VandrelThread&) = default;
    virtual ~VandrelThread() {}

    void Run();
    void ReportRows(int32_t rowsSoFar);
    bool StopRequested() const;

    SFlatImage image;
    uint16_t firstRow = 0;
    uint16_t endRow = 0;
    uint16_t stripHeight = 0;
    uint32_t rowsReported = 0;
    CPassHost* filter;
    const SPassSettings* params;
    // Shared by all workers of one pass; owned by the pass, which outlives
    // them. Once one worker has failed the others stop within 64 pixels.
    CWorkerFailure* failure = nullptr;
    // Set by the pass when a cancel has waited too long for the strips in
    // progress: each worker leaves its strip at the next column, undoes it
    // and ends without counting it.
    const std::atomic<bool>* leaveStrips = nullptr;
    // The search order is the same for every worker: one table serves all,
    // and one table of sums of two squares.
    std::shared_ptr<COffsetTable> offsetTable;
    std::shared_ptr<CSharedSquareSums> squareSums;
};

// What every worker thread runs, on its own copy of the job. Nothing may
// leave a thread, so a failure is handed to `failure` instead.
void ThreadEntry(VandrelThread job);

// Test seam: when set, called on the host's thread before each worker is
// created and on each worker before each strip; a throw from it stands for
// a failure at that point (thread creation refused, memory exhausted). Left
// null by the plug-in.
enum class EPassPoint { CreatingWorker, StartingStrip };
using PassFaultHook = void (*)(EPassPoint point, int32_t firstRow, int32_t row);
extern PassFaultHook gPassFaultHook;
