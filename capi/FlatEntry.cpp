// Vandrel Pro behind the C interface: the caller's pixels laid out as a host
// would deliver a layer, CMYK turned into the host's convention and back.
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <vector>

#include "capi/CallbackPassHost.h"
#include "capi/PixelLayout.h"
#include "capi/RunPass.h"
#include "capi/VandrelApi.h"

namespace {

// The largest side a host can describe, and the command-line tool accepts.
constexpr int32_t kMaxSide = 32767;

SFlatImage Delivered(const uint8_t* in, uint8_t* out, int32_t width, int32_t height,
                     const SPixelLayout& layout) {
    SFlatImage image;
    image.inData = in + layout.firstPlane;
    image.inRowBytes = width * layout.channels;
    image.inColumnBytes = layout.channels;
    image.inPlaneBytes = layout.planeStep;
    image.outData = out + layout.firstPlane;
    image.outRowBytes = image.inRowBytes;
    image.outColumnBytes = layout.channels;
    image.outPlaneBytes = layout.planeStep;
    image.width = uint16_t(width);
    image.height = uint16_t(height);
    image.planeCount = uint16_t(layout.colourPlanes);
    image.isCmyk = layout.cmyk;
    return image;
}

int32_t Flat(const uint8_t* pixels, uint8_t* result, int32_t width, int32_t height,
             const SPixelLayout& layout, std::size_t bytes, const SPassSettings& settings,
             CCallbackPassHost& host) {
    // CMYK is read from a flipped copy: the pass takes its candidates from
    // the source, which must already be in the host's convention.
    std::vector<uint8_t> flipped;
    const uint8_t* source = pixels;
    if (layout.cmyk) {
        flipped.assign(pixels, pixels + bytes);
        FlipInk(flipped.data(), bytes, layout);
        source = flipped.data();
    }
    std::memcpy(result, source, bytes);
    // The caller hears the start too: a pass that ends before the first
    // report would otherwise give a Cancel pressed meanwhile no say.
    host.ReportProgress(0);
    if (host.Cancelled()) return VANDREL_CANCELLED;
    RunApiPass(Delivered(source, result, width, height, layout), settings, host);
    if (host.Cancelled()) return VANDREL_CANCELLED;
    if (layout.cmyk) FlipInk(result, bytes, layout);
    return VANDREL_DONE;
}

}  // namespace

int32_t vandrel_flat(const uint8_t* pixels, uint8_t* result, int32_t width, int32_t height, int32_t layout,
                     int32_t depth, int32_t paintWhite, VandrelProgress progress, void* context) {
    const std::optional<SPixelLayout> facts = LayoutOf(layout);
    if (!facts) return VANDREL_BAD_ARGUMENTS;
    if (facts->grey) return VANDREL_UNSUPPORTED_LAYOUT;
    if (!pixels || !result || width > kMaxSide || height > kMaxSide || depth < 1 || depth > 65535)
        return VANDREL_BAD_ARGUMENTS;
    const std::optional<std::size_t> bytes = PageBytes(*facts, width, height);
    if (!bytes) return VANDREL_BAD_ARGUMENTS;
    // The pass reads candidates from the source while it writes: an
    // overlapping result would feed it its own output.
    const auto in = reinterpret_cast<std::uintptr_t>(pixels), out = reinterpret_cast<std::uintptr_t>(result);
    if (in < out + *bytes && out < in + *bytes) return VANDREL_BAD_ARGUMENTS;

    const SPassSettings settings{uint16_t(depth), paintWhite != 0, EFlatMethod::DistanceAssisted};
    CCallbackPassHost host(progress, context, height);
    try {
        return Flat(pixels, result, width, height, *facts, *bytes, settings, host);
    } catch (const std::bad_alloc&) {
        return VANDREL_NO_MEMORY;
    } catch (...) {
        return VANDREL_FAILED;
    }
}
