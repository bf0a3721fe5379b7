#include "engine/SingleThreadedPass.h"

#include <chrono>
#include <optional>

#include "engine/FlatStrip.h"
#include "engine/StripStop.h"

namespace {

// In the host's thread the host's own abort test is the only way to learn of
// a cancel; inside a strip that has run long it is asked every so often.
class CHostThreadStripStop : public CStripStop {
public:
    explicit CHostThreadStripStop(CPassHost& host) : host_(host) {}
    void StartStrip() { lastAsked_ = std::chrono::steady_clock::now(); }
    bool Look() override {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastAsked_ < std::chrono::milliseconds(kStripGraceMs)) return false;
        lastAsked_ = now;
        return host_.TestAbort();
    }

private:
    CPassHost& host_;
    std::chrono::steady_clock::time_point lastAsked_;
};

}  // namespace

void RunSingleThreadedPass(const SFlatImage& image, CPixelDistance& search, const CVandrelParams& params,
                           CPassHost& host, EFlatMethod method) {
    search.LimitGrowthToImage(image.width, image.height);
    const bool paintWhite = params.PaintsWhite();
    std::optional<CAssistedStrips> assisted;
    if (method == EFlatMethod::DistanceAssisted) assisted.emplace(image, search, paintWhite);
    CHostThreadStripStop stop(host);
    int32_t rowsDone = 0;
    for (int32_t first = 0; first < image.height; first += kStripRows) {
        const int32_t rows = first + kStripRows < image.height ? kStripRows : image.height - first;
        stop.StartStrip();
        const bool whole = assisted ? assisted->FlatStrip(first, rows, &stop)
                                    : FlatStrip(first, rows, image, search, paintWhite, &stop);
        if (!whole) {
            UndoStrip(first, rows, image);
            return;
        }
        rowsDone += rows;
        host.ReportProgress(rowsDone);
        if (host.TestAbort()) return;
    }
}
