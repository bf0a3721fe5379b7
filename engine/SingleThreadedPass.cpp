#include "engine/SingleThreadedPass.h"

#include <chrono>

#include "engine/BandWalker.h"
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

void RunSingleThreadedPass(const SFlatImage& image, CPixelDistance& search, const SPassSettings& settings,
                           CPassHost& host) {
    RequireBlackPlane(image);
    CBandWalker walker(image, search, settings);
    CHostThreadStripStop stop(host);
    SBandHooks hooks;
    hooks.stripStarting = [&stop](int32_t) { stop.StartStrip(); };
    hooks.stop = &stop;
    hooks.stripDone = [&host](int32_t rowsSoFar) {
        host.ReportProgress(rowsSoFar);
        return !host.TestAbort();
    };
    walker.Walk(0, image.height, kStripRows, hooks);
}
