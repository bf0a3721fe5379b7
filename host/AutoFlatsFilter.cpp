#include "host/AutoFlatsFilter.h"

#include <algorithm>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "host/AboutBox.h"
#include "host/ImageRequest.h"
#include "host/ParameterSteps.h"
#include "host/ProcessorCount.h"
#include "params/AutoFlatsStores.h"
#include "resources/AutoFlatsInfo.h"

namespace {

// The host keeps CMYK as 255 for no ink; the library reads ink coverage.
uint8_t ToLibrary(uint8_t sample, bool ink) { return ink ? uint8_t(255 - sample) : sample; }

// The image request for every plane, transparency included: transparent
// pixels are paper, and the flats are opaque.
struct SPlanes {
    int16_t all;
    int16_t colour;
};

SPlanes PlanesOf(const FilterRecord& record) {
    const int16_t colour = record.imageMode == host::plugInModeCMYKColor ? 4 : 3;
    return {record.planes, colour};
}

autoflat::EPageKind KindOf(const FilterRecord& record) {
    const bool cmyk = record.imageMode == host::plugInModeCMYKColor;
    const bool alpha = PlanesOf(record).all > PlanesOf(record).colour;
    if (cmyk) return alpha ? autoflat::EPageKind::CmykAlpha : autoflat::EPageKind::Cmyk;
    return alpha ? autoflat::EPageKind::Rgba : autoflat::EPageKind::Rgb;
}

}  // namespace

CAutoFlatsFilter::CAutoFlatsFilter() {
    productName = AUTOFLATS_PRODUCT_NAME;
    versionText = VANDREL_VERSION_TEXT;
    copyrightText = VANDREL_COPYRIGHT;
    homePage = AUTOFLATS_HOME_PAGE;
}

OSErr CAutoFlatsFilter::About() {
    ShowAboutBox(aboutRecord);
    return host::noErr;
}

SParameterSteps CAutoFlatsFilter::ParameterSteps() {
    return {[this] { LoadAutoFlatsPrefsFile(params); },
            [this] { SaveAutoFlatsPrefsFile(params); },
            [this] { return ReadAutoFlatsScript(*filterRecord, params); },
            [this] { return RunParamsDialog(); },
            [this] { return LoadAutoFlatsHandle(*filterRecord, params); },
            [this] { StoreAutoFlatsHandle(*filterRecord, params); }};
}

OSErr CAutoFlatsFilter::Parameters() { return AskForParameters(ParameterSteps()); }

OSErr CAutoFlatsFilter::Prepare() {
    filterRecord->maxSpace = 0;
    filterRecord->bufferSpace = 0;
    LoadAutoFlatsPrefsFile(params);
    return host::noErr;
}

OSErr CAutoFlatsFilter::Start() {
    if (!StartParametersReady(ParameterSteps())) return host::filterBadParameters;
    if (!filterRecord->advanceState || !CanAutoFlat(*filterRecord)) return host::filterBadParameters;

    const OSErr result = AutoFlatDeliveredImage();
    ClearRectangles(*filterRecord);
    if (result == host::noErr) WriteAutoFlatsScript(*filterRecord, params);
    return result;
}

bool CAutoFlatsFilter::CanAutoFlat(const FilterRecord& record) {
    if (record.imageSize.v <= 0 || record.imageSize.h <= 0) return false;
    if (record.imageMode != host::plugInModeRGBColor && record.imageMode != host::plugInModeCMYKColor)
        return false;
    const SPlanes planes = PlanesOf(record);
    // Colour planes and at most one transparency plane; anything else is a
    // layout this filter cannot read.
    return planes.all == planes.colour || planes.all == planes.colour + 1;
}

OSErr CAutoFlatsFilter::AutoFlatDeliveredImage() {
    FilterRecord& record = *filterRecord;
    const SPlanes planes = PlanesOf(record);
    // This filter asks for the transparency plane too, which a layer's host
    // may not have counted in the steps it announced.
    const SImageSteps announced = RequestWholeImage(record, planes.all);
    if (const OSErr advanced = record.advanceState(); advanced != host::noErr) return advanced;
    const SImageSteps steps = DeliveredSteps(record, announced);

    const int32_t width = record.imageSize.h;
    const int32_t height = record.imageSize.v;
    const bool cmyk = record.imageMode == host::plugInModeCMYKColor;
    const int channels = planes.all;

    // The library reads interleaved rows. The host's own buffer is read in
    // place when it is laid out so and holds no inks to turn over; any other
    // layout is copied into that form first.
    const auto* in = static_cast<const uint8_t*>(record.inData);
    const bool readInPlace = !cmyk && steps.inColumnBytes == channels && steps.inPlaneBytes == 1 &&
                             record.inRowBytes >= width * channels;
    std::vector<uint8_t> page;
    if (!readInPlace) {
        page.resize(size_t(width) * size_t(height) * size_t(channels));
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                for (int p = 0; p < channels; ++p) {
                    const uint8_t sample =
                        in[std::ptrdiff_t(y) * record.inRowBytes + std::ptrdiff_t(x) * steps.inColumnBytes +
                           std::ptrdiff_t(p) * steps.inPlaneBytes];
                    page[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(p)] =
                        ToLibrary(sample, cmyk && p < planes.colour);
                }
    }

    autoflat::SPageView view;
    view.pixels = readInPlace ? in : page.data();
    view.width = width;
    view.height = height;
    view.kind = KindOf(record);
    view.rowBytes = readInPlace ? record.inRowBytes : 0;
    autoflat::SAutoFlatSettings settings;
    settings.gap = params.maxGap;
    settings.minRegion = params.minRegion == 0 ? -1 : int64_t(params.minRegion);
    settings.spotBlacks =
        params.SpotBlacksAreRegions() ? autoflat::ESpotBlacks::Regions : autoflat::ESpotBlacks::Lines;
    settings.dpi = record.imageHRes > 0 ? double(record.imageHRes) / 65536.0 : 0.0;
    settings.workers = ProcessorCount();

    // Progress and cancel come between the library's stages and bands, on
    // this thread, which is the only one that may call the host.
    const auto progress = [&record, height](double fraction, const char*) {
        if (record.progressProc)
            record.progressProc(int32_t(std::clamp(fraction, 0.0, 1.0) * height), height);
        return !(record.abortProc && record.abortProc() != 0);
    };
    const autoflat::SAutoFlatResult result = autoflat::AutoFlat(view, nullptr, settings, progress);
    if (result.status == autoflat::EAutoFlatStatus::Cancelled) return host::userCanceledErr;
    if (result.status != autoflat::EAutoFlatStatus::Ok) return host::filterBadParameters;

    auto* out = static_cast<uint8_t*>(record.outData);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int p = 0; p < channels; ++p) {
                const uint8_t sample =
                    result.flats[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(p)];
                out[std::ptrdiff_t(y) * record.outRowBytes + std::ptrdiff_t(x) * steps.outColumnBytes +
                    std::ptrdiff_t(p) * steps.outPlaneBytes] = ToLibrary(sample, cmyk && p < planes.colour);
            }
    return host::noErr;
}
