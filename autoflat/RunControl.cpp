#include "autoflat/RunControl.h"

#include <algorithm>

namespace autoflat {

CStageProgress::CStageProgress(const CRunProgress& progress, double from, double to, const char* stage,
                               uint64_t total)
    : progress_(progress),
      from_(from),
      to_(to),
      stage_(stage),
      total_(double(std::max<uint64_t>(total, 1))),
      caller_(std::this_thread::get_id()) {}

void CStageProgress::Done(uint64_t work) {
    const uint64_t done = done_.fetch_add(work, std::memory_order_relaxed) + work;
    if (std::this_thread::get_id() == caller_ && !refused_.load(std::memory_order_relaxed)) {
        sinceReport_ += work;
        if (sinceReport_ >= kReportWork) {
            sinceReport_ = 0;
            const double fraction = from_ + (to_ - from_) * std::min(1.0, double(done) / total_);
            if (!progress_.Ask(fraction, stage_)) refused_ = true;
        }
    }
    if (refused_.load(std::memory_order_relaxed)) throw CFailure(EAutoFlatStatus::Cancelled, "cancelled");
}

}  // namespace autoflat
