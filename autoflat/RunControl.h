// How a run ends early and how it reports as it goes: a failure carries its
// status, and progress reaches the caller from the calling thread only, every
// so much work, with a refusal stopping every worker at its next report.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

#include "autoflat/AutoFlats.h"

namespace autoflat {

class CFailure : public std::runtime_error {
public:
    CFailure(EAutoFlatStatus status, const std::string& message)
        : std::runtime_error(message), status(status) {}
    EAutoFlatStatus status;
};

// Work done, in units of about a pixel's worth, reported by any worker.
using FWorkDone = std::function<void(uint64_t work)>;

// Hands progress to the caller; a refusal ends the run.
class CRunProgress {
public:
    explicit CRunProgress(const FProgress& progress) : progress_(progress) {}
    bool Ask(double fraction, const char* stage) const { return !progress_ || progress_(fraction, stage); }
    void At(double fraction, const char* stage) const {
        if (!Ask(fraction, stage)) throw CFailure(EAutoFlatStatus::Cancelled, "cancelled");
    }

private:
    const FProgress& progress_;
};

// One stage's share of the progress, from `from` to `to` over `total` units
// of work. The caller hears of it every kReportWork units its own thread
// does (a few milliseconds), so that no stage leaves it waiting; the other
// workers only look whether it refused.
class CStageProgress {
public:
    static constexpr uint64_t kReportWork = uint64_t(1) << 17;

    CStageProgress(const CRunProgress& progress, double from, double to, const char* stage, uint64_t total);
    // Throws CFailure(Cancelled), on any thread, once the caller refused.
    void Done(uint64_t work);
    FWorkDone Reporter() {
        return [this](uint64_t work) { Done(work); };
    }

private:
    const CRunProgress& progress_;
    double from_, to_;
    const char* stage_;
    double total_;
    std::thread::id caller_;
    std::atomic<uint64_t> done_{0};
    std::atomic<bool> refused_{false};
    uint64_t sinceReport_ = 0;  // the calling thread's own work since it last reported
};

}  // namespace autoflat
