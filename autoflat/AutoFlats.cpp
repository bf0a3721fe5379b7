#include "autoflat/AutoFlats.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "autoflat/LabelMelt.h"
#include "autoflat/PageStages.h"
#include "autoflat/RunControl.h"

namespace autoflat {

int ChannelCount(EPageKind kind) {
    switch (kind) {
        case EPageKind::Gray:
            return 1;
        case EPageKind::GrayAlpha:
            return 2;
        case EPageKind::Rgb:
            return 3;
        case EPageKind::Rgba:
        case EPageKind::Cmyk:
            return 4;
        case EPageKind::CmykAlpha:
            return 5;
    }
    return 0;
}

bool HasAlpha(EPageKind kind) {
    return kind == EPageKind::GrayAlpha || kind == EPageKind::Rgba || kind == EPageKind::CmykAlpha;
}

bool IsCmyk(EPageKind kind) { return kind == EPageKind::Cmyk || kind == EPageKind::CmykAlpha; }

EPageKind FlatsKind(EPageKind pageKind) {
    switch (pageKind) {
        case EPageKind::Gray:
            return EPageKind::Rgb;
        case EPageKind::GrayAlpha:
            return EPageKind::Rgba;
        default:
            return pageKind;
    }
}

int32_t DefaultGap(int32_t width, int32_t height, double dpi) {
    const double gap = dpi > 0 ? dpi / 30.0 : std::min(width, height) / 250.0;
    return int32_t(std::clamp(std::lround(gap), 2L, 64L));
}

namespace {

// What a region costs at most while small ones fold: its hint votes, area,
// borders and the fold's table of neighbours, with the allocator's share.
constexpr uint64_t kBytesPerRegion = 512;
constexpr uint64_t kPixelsPerRegion = 64;
constexpr uint64_t kLeastRegionLimit = uint64_t(1) << 18;

}  // namespace

uint64_t RegionLimit(int32_t width, int32_t height) {
    const uint64_t pixels = uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0));
    return std::min<uint64_t>(kMaxMeltLabel, std::max(kLeastRegionLimit, pixels / kPixelsPerRegion));
}

uint64_t PeakBytes(int32_t width, int32_t height, EPageKind kind, bool withHints, bool withMarks) {
    const uint64_t pixels = uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0));
    // Two label maps throughout. While components are labelled, up to eight
    // bytes a pixel more (provisional labels, their roots and sizes on a page
    // of a region every other pixel); later the flats and the marks, fewer.
    // Then the regions' tables, and the borders' buffers for every worker.
    // The hints page is only read.
    (void)withHints;
    const uint64_t perPixel = 4 + 4 + std::max<uint64_t>(8, uint64_t(ChannelCount(FlatsKind(kind))));
    return pixels * (perPixel + (withMarks ? 1 : 0)) + RegionLimit(width, height) * kBytesPerRegion +
           (64ull << 20);
}

const char* StatusName(EAutoFlatStatus status) {
    switch (status) {
        case EAutoFlatStatus::Ok:
            return "ok";
        case EAutoFlatStatus::Cancelled:
            return "cancelled";
        case EAutoFlatStatus::EmptyPage:
            return "empty page";
        case EAutoFlatStatus::PageTooLarge:
            return "page too large";
        case EAutoFlatStatus::HintsMismatch:
            return "hints page does not match";
        case EAutoFlatStatus::BadSettings:
            return "bad settings";
        case EAutoFlatStatus::NoRegions:
            return "no regions";
        case EAutoFlatStatus::TooManyRegions:
            return "too many regions";
        case EAutoFlatStatus::OutOfMemory:
            return "out of memory";
        case EAutoFlatStatus::Failed:
            return "failed";
    }
    return "unknown";
}

namespace {

bool KnownKind(EPageKind kind) { return uint8_t(kind) <= uint8_t(EPageKind::CmykAlpha); }

void Check(const SPageView& page, const SPageView* hints, const SAutoFlatSettings& settings) {
    if (!page.pixels || page.width <= 0 || page.height <= 0)
        throw CFailure(EAutoFlatStatus::EmptyPage, "the page has no pixels");
    if (page.width > kMaxSide || page.height > kMaxSide)
        throw CFailure(EAutoFlatStatus::PageTooLarge, "the page is larger than 65535 pixels on a side");
    if (!KnownKind(page.kind)) throw CFailure(EAutoFlatStatus::BadSettings, "unknown pixel layout");
    if (RowBytes(page) < std::ptrdiff_t(page.width) * ChannelCount(page.kind))
        throw CFailure(EAutoFlatStatus::BadSettings, "rows shorter than the page is wide");
    if (hints) {
        if (!hints->pixels || !KnownKind(hints->kind) || hints->width != page.width ||
            hints->height != page.height)
            throw CFailure(EAutoFlatStatus::HintsMismatch, "the hints page is not the size of the page");
        if (IsCmyk(hints->kind) != IsCmyk(page.kind))
            throw CFailure(EAutoFlatStatus::HintsMismatch,
                           "the hints page is not in the page's colour model");
        if (RowBytes(*hints) < std::ptrdiff_t(hints->width) * ChannelCount(hints->kind))
            throw CFailure(EAutoFlatStatus::HintsMismatch, "hint rows shorter than the page is wide");
    }
    if (settings.earlier.pixels) {
        const SPageView& earlier = settings.earlier;
        if (!KnownKind(earlier.kind) || earlier.width != page.width || earlier.height != page.height)
            throw CFailure(EAutoFlatStatus::HintsMismatch, "the earlier flats are not the size of the page");
        if (IsCmyk(earlier.kind) != IsCmyk(page.kind))
            throw CFailure(EAutoFlatStatus::HintsMismatch,
                           "the earlier flats are not in the page's colour model");
        if (RowBytes(earlier) < std::ptrdiff_t(earlier.width) * ChannelCount(earlier.kind))
            throw CFailure(EAutoFlatStatus::HintsMismatch,
                           "earlier flats' rows shorter than the page is wide");
    }
    if (settings.gap < 0 || settings.gap > 1024)
        throw CFailure(EAutoFlatStatus::BadSettings, "the gap must be 0 to 1024 pixels");
    if (settings.minRegion < -1) throw CFailure(EAutoFlatStatus::BadSettings, "negative minimum region");
    if (settings.darkness == 0)
        throw CFailure(EAutoFlatStatus::BadSettings, "a darkness of 0 makes all line art");
    if (settings.spotBlackDepth < 0 || settings.spotBlackDepth > 65535)
        throw CFailure(EAutoFlatStatus::BadSettings, "the spot black depth must be 0 to 65535");
    if (!(settings.dpi >= 0 && settings.dpi < 1e6))
        throw CFailure(EAutoFlatStatus::BadSettings, "the resolution must be positive");
}

// More regions than a page this size may hold: the count it has and the
// most there may be, before the tables they need are made.
void CheckRegionCount(const SPageRun& run) {
    const uint64_t limit = RegionLimit(run.width, run.height);
    if (run.labelEnd - 1 > limit)
        throw CFailure(EAutoFlatStatus::TooManyRegions,
                       "too many regions: " + std::to_string(run.labelEnd - 1) + ", at most " +
                           std::to_string(limit) + " for a page this size");
}

SAutoFlatResult Run(const SPageView& page, const SPageView* hints, const SAutoFlatSettings& settings,
                    const FProgress& progressCallback) {
    Check(page, hints, settings);
    const CRunProgress progress(progressCallback);
    SPageRun run(page, hints, settings, progress);
    ClassifyPixels(run);
    CloseGaps(run);
    LabelEnclosed(run);
    CheckRegionCount(run);
    MeasureRegions(run);
    FindSpotBlacks(run);
    CheckRegionCount(run);
    if (run.labelEnd == 1) throw CFailure(EAutoFlatStatus::NoRegions, "the page is all line art");
    MeltLines(run);
    FoldRegions(run);
    ChooseColours(run);
    PaintFlats(run);
    progress.At(1.0, "done");
    return std::move(run.result);
}

}  // namespace

SAutoFlatResult AutoFlat(const SPageView& page, const SPageView* hints, const SAutoFlatSettings& settings,
                         const FProgress& progress) {
    auto failed = [](EAutoFlatStatus status, std::string message) {
        SAutoFlatResult result;
        result.status = status;
        result.message = std::move(message);
        return result;
    };
    try {
        return Run(page, hints, settings, progress);
    } catch (const CFailure& failure) {
        return failed(failure.status, failure.what());
    } catch (const std::bad_alloc&) {
        return failed(EAutoFlatStatus::OutOfMemory, "not enough memory for a page this size");
    } catch (const CTooManyLabels& tooMany) {
        return failed(EAutoFlatStatus::TooManyRegions, tooMany.what());
    } catch (const std::exception& e) {
        return failed(EAutoFlatStatus::Failed, std::string("the page could not be flatted: ") + e.what());
    } catch (...) {
        return failed(EAutoFlatStatus::Failed, "the page could not be flatted");
    }
}

}  // namespace autoflat
