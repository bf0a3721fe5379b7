#include "wasm/FlatApi.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "engine/PassHost.h"
#include "engine/PassSettings.h"
#include "engine/PixelDistance.h"
#include "engine/SingleThreadedPass.h"

// Provided by the page (WebHost.js): progress after each strip, and whether
// the user has asked to stop since.
extern "C" void vandrel_report_progress(int32_t rowsDone, int32_t rowCount);
extern "C" int32_t vandrel_test_abort();

namespace {

// The largest side the host interface can describe (and the CLI accepts).
constexpr int32_t kMaxSide = 32767;

class CWebPassHost : public CPassHost {
public:
    explicit CWebPassHost(int32_t rowCount) : rowCount_(rowCount) {}

    void ReportProgress(int32_t done) override { vandrel_report_progress(done, rowCount_); }
    bool TestAbort() override { return cancelled_ = cancelled_ || vandrel_test_abort() != 0; }
    // The single-threaded pass reports through ReportProgress alone.
    void AddRowsDone(int32_t rows) override { rowsDone_ += rows; }
    int32_t RowsDone() const override { return rowsDone_; }

    bool Cancelled() const { return cancelled_; }

private:
    int32_t rowCount_;
    int32_t rowsDone_ = 0;
    bool cancelled_ = false;
};

// The layout a host uses for an RGBA layer with editable transparency: the
// colour planes are delivered, the transparency plane is not.
SFlatImage Interleaved(const uint8_t* pixels, uint8_t* result, int32_t width, int32_t height,
                       int32_t channels) {
    SFlatImage image;
    image.inData = pixels;
    image.inRowBytes = width * channels;
    image.inColumnBytes = channels;
    image.inPlaneBytes = 1;
    image.outData = result;
    image.outRowBytes = width * channels;
    image.outColumnBytes = channels;
    image.outPlaneBytes = 1;
    image.width = uint16_t(width);
    image.height = uint16_t(height);
    image.planeCount = 3;
    image.isCmyk = false;
    return image;
}

}  // namespace

uint8_t* vandrel_alloc(uint32_t bytes) { return static_cast<uint8_t*>(std::malloc(bytes)); }

void vandrel_free(uint8_t* block) { std::free(block); }

int32_t vandrel_flat(const uint8_t* pixels, uint8_t* result, int32_t width, int32_t height, int32_t channels,
                     int32_t depth, int32_t paintWhite) {
    if (!pixels || !result || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
        (channels != 3 && channels != 4) || depth < 1 || depth > 65535)
        return kFlatBadArguments;
    std::memcpy(result, pixels, std::size_t(width) * std::size_t(height) * std::size_t(channels));

    const SPassSettings settings{uint16_t(depth), paintWhite != 0, EFlatMethod::DistanceAssisted};
    CWebPassHost host(height);
    try {
        CPixelDistance search;
        search.maxRings = settings.maxDepth;
        RunSingleThreadedPass(Interleaved(pixels, result, width, height, channels), search, settings, host);
    } catch (const std::bad_alloc&) {
        return kFlatNoMemory;
    } catch (const std::exception&) {
        return kFlatFailed;
    }
    return host.Cancelled() ? kFlatCancelled : kFlatDone;
}
