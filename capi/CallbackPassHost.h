// The pass's host for callers of the C interface: progress and cancel both
// go through the caller's one callback, always on the caller's thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "capi/VandrelApi.h"
#include "engine/PassHost.h"

class CCallbackPassHost : public CPassHost {
public:
    CCallbackPassHost(VandrelProgress progress, void* context, int32_t total)
        : progress_(progress), context_(context), total_(total) {}

    void ReportProgress(int32_t done) override {
        lastDone_ = done;
        Ask(done);
    }
    // The pass also asks between reports (inside a long strip): the caller
    // hears the last count again, which lets a user's Cancel in between count.
    bool TestAbort() override {
        if (!cancelled_) Ask(lastDone_);
        return cancelled_;
    }
    void AddRowsDone(int32_t rows) override { rowsDone_.fetch_add(rows, std::memory_order_relaxed); }
    int32_t RowsDone() const override { return rowsDone_.load(std::memory_order_relaxed); }

    bool Cancelled() const { return cancelled_; }

private:
    void Ask(int32_t done) {
        if (progress_ && !cancelled_ && progress_(context_, done, total_) != 0) cancelled_ = true;
    }

    VandrelProgress progress_;
    void* context_;
    int32_t total_;
    int32_t lastDone_ = 0;
    std::atomic<int32_t> rowsDone_{0};
    bool cancelled_ = false;
};
