// Auto Flats behind the C interface: the caller's layouts turned into the
// library's page kinds (BGRA is reordered, the rest is read in place), and
// its result copied into the caller's buffers.
#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "autoflat/LabelRemelt.h"
#include "capi/AutoFlatSettingsCheck.h"
#include "capi/PixelLayout.h"
#include "capi/VandrelApi.h"

namespace {

using autoflat::EAutoFlatStatus;
using autoflat::EPageKind;

std::optional<EPageKind> KindOf(int32_t layout) {
    switch (layout) {
        case VANDREL_RGB:
            return EPageKind::Rgb;
        case VANDREL_RGBA:
        case VANDREL_BGRA:
            return EPageKind::Rgba;
        case VANDREL_CMYK:
            return EPageKind::Cmyk;
        case VANDREL_CMYKA:
            return EPageKind::CmykAlpha;
        case VANDREL_GRAY:
            return EPageKind::Gray;
        case VANDREL_GRAYA:
            return EPageKind::GrayAlpha;
        default:
            return std::nullopt;
    }
}

// A page the library can read: the caller's bytes, or for BGRA an RGBA copy.
struct SPage {
    autoflat::SPageView view;
    std::vector<uint8_t> reordered;
};

void SwapRedBlue(uint8_t* pixels, std::size_t bytes) {
    for (std::size_t i = 0; i + 4 <= bytes; i += 4) std::swap(pixels[i], pixels[i + 2]);
}

SPage Page(const uint8_t* pixels, int32_t layout, int32_t width, int32_t height, std::size_t bytes) {
    SPage page;
    page.view.width = width;
    page.view.height = height;
    page.view.kind = *KindOf(layout);
    page.view.pixels = pixels;
    if (layout == VANDREL_BGRA) {
        page.reordered.assign(pixels, pixels + bytes);
        SwapRedBlue(page.reordered.data(), bytes);
        page.view.pixels = page.reordered.data();
    }
    return page;
}

int32_t ResultOf(EAutoFlatStatus status) {
    switch (status) {
        case EAutoFlatStatus::Ok:
            return VANDREL_DONE;
        case EAutoFlatStatus::Cancelled:
            return VANDREL_CANCELLED;
        case EAutoFlatStatus::OutOfMemory:
            return VANDREL_NO_MEMORY;
        case EAutoFlatStatus::EmptyPage:
        case EAutoFlatStatus::PageTooLarge:
        case EAutoFlatStatus::HintsMismatch:
        case EAutoFlatStatus::BadSettings:
            return VANDREL_BAD_ARGUMENTS;
        case EAutoFlatStatus::NoRegions:
            return VANDREL_NO_REGIONS;
        default:
            return VANDREL_FAILED;
    }
}

void SetMessage(VandrelAutoFlatOutput& output, const char* text) {
    std::strncpy(output.message, text, sizeof output.message - 1);
    output.message[sizeof output.message - 1] = '\0';
}

// The flats in the caller's layout: the same colour model as the library's,
// with or without alpha, RGB in either order.
bool CopyFlats(const autoflat::SAutoFlatResult& result, const VandrelAutoFlatOutput& output,
               std::size_t pixels) {
    const std::optional<SPixelLayout> to = LayoutOf(output.layout);
    const bool cmyk = autoflat::IsCmyk(result.flatsKind);
    if (!to || to->grey || to->cmyk != cmyk) return false;
    const int from = autoflat::ChannelCount(result.flatsKind);
    const bool fromAlpha = autoflat::HasAlpha(result.flatsKind);
    const uint8_t* in = result.flats.data();
    uint8_t* out = output.pixels;
    // The library's own layout: one copy, not a loop over every plane.
    if (to->channels == from && to->firstPlane == 0 && to->planeStep == 1 &&
        to->colourPlanes == from - fromAlpha && to->alpha == (fromAlpha ? from - 1 : -1)) {
        std::memcpy(out, in, pixels * std::size_t(from));
        return true;
    }
    for (std::size_t i = 0; i < pixels; ++i, in += from, out += to->channels) {
        for (int32_t k = 0; k < to->colourPlanes; ++k) out[to->firstPlane + k * to->planeStep] = in[k];
        if (to->alpha >= 0) out[to->alpha] = fromAlpha ? in[from - 1] : 255;
    }
    return true;
}

// Flats of one colour, or the page as it was, are no one's wish: most
// likely the wrong layer, or a threshold set too high. The command-line tool
// refuses the same pages.
const char* NothingToFill(const autoflat::SAutoFlatResult& result, std::size_t pixels) {
    if (result.linePixels == 0)
        return "no line art: no pixel is dark enough to be a line, so there are no regions to fill";
    if (result.linePixels >= pixels) return "the page is all line art: there is no paper to fill";
    return nullptr;
}

autoflat::SAutoFlatSettings Settings(const VandrelAutoFlatSettings& given, bool cmyk) {
    autoflat::SAutoFlatSettings settings;
    settings.gap = given.gap;
    settings.dpi = given.dpi;
    settings.minRegion = given.minRegion;
    settings.darkness = uint8_t(given.threshold);
    settings.spotBlacks = given.spotBlacks ? autoflat::ESpotBlacks::Regions : autoflat::ESpotBlacks::Lines;
    settings.keepLines = given.keepLines != 0;
#ifdef __EMSCRIPTEN__
    // Built without threads: a worker count would ask for threads that
    // cannot start.
    settings.workers = 1;
#else
    settings.workers = given.workers;
#endif
    for (int32_t i = 0; given.palette && i < given.paletteCount; ++i) {
        autoflat::SColour colour;
        std::memcpy(colour.v, given.palette + 4 * std::size_t(i), cmyk ? 4 : 3);
        settings.palette.push_back(colour);
    }
    return settings;
}

// The caller's pages: the line art and, optionally, hints and earlier flats.
struct SPages {
    const uint8_t* lineArt;
    int32_t lineLayout;
    const uint8_t* hints;
    int32_t hintsLayout;
    const uint8_t* earlier;
    int32_t earlierLayout;
};

int32_t AutoFlat(const SPages& pages, int32_t width, int32_t height, const VandrelAutoFlatSettings& given,
                 VandrelAutoFlatOutput& output, VandrelProgress progress, void* context) {
    const auto [lineArt, lineLayout, hints, hintsLayout, earlier, earlierLayout] = pages;
    const std::optional<SPixelLayout> line = LayoutOf(lineLayout);
    const std::optional<SPixelLayout> hint = hints ? LayoutOf(hintsLayout) : line;
    const std::optional<SPixelLayout> before = earlier ? LayoutOf(earlierLayout) : line;
    if (!line || !hint || !before || !output.pixels || !LayoutOf(output.layout)) return VANDREL_BAD_ARGUMENTS;
    if (const std::string refused = RefusedSettings(given, line->cmyk); !refused.empty()) {
        SetMessage(output, refused.c_str());
        return VANDREL_BAD_ARGUMENTS;
    }
    const std::optional<std::size_t> lineBytes = PageBytes(*line, width, height);
    const std::optional<std::size_t> hintBytes = PageBytes(*hint, width, height);
    const std::optional<std::size_t> earlierBytes = PageBytes(*before, width, height);
    if (!lineBytes || !hintBytes || !earlierBytes) return VANDREL_BAD_ARGUMENTS;

    const SPage page = Page(lineArt, lineLayout, width, height, *lineBytes);
    std::optional<SPage> hintPage;
    if (hints) hintPage = Page(hints, hintsLayout, width, height, *hintBytes);
    bool cancelled = false;
    const autoflat::FProgress report = [&](double fraction, const char*) {
        if (progress && progress(context, int32_t(fraction * 1000.0 + 0.5), 1000) != 0) cancelled = true;
        return !cancelled;
    };
    autoflat::SAutoFlatSettings settings = Settings(given, line->cmyk);
    settings.pixelMarks = output.marks != nullptr;
    std::optional<SPage> earlierPage;
    if (earlier) {
        earlierPage = Page(earlier, earlierLayout, width, height, *earlierBytes);
        settings.earlier = earlierPage->view;
    }
    const autoflat::SAutoFlatResult result =
        autoflat::AutoFlat(page.view, hintPage ? &hintPage->view : nullptr, settings, report);
    if (result.status != EAutoFlatStatus::Ok) {
        SetMessage(output,
                   result.message.empty() ? autoflat::StatusName(result.status) : result.message.c_str());
        return ResultOf(result.status);
    }
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    if (const char* nothing = NothingToFill(result, pixels)) {
        SetMessage(output, nothing);
        return VANDREL_NO_REGIONS;
    }
    if (!CopyFlats(result, output, pixels)) {
        SetMessage(output,
                   "the flats cannot be written in this layout: their colour model is the line art's");
        return VANDREL_UNSUPPORTED_LAYOUT;
    }
    if (output.regions) std::copy(result.labels.begin(), result.labels.end(), output.regions);
    if (output.marks) std::copy(result.marks.begin(), result.marks.end(), output.marks);
    output.meltDepth = int32_t(result.meltDepth);
    const std::size_t regions = result.regions.size();
    for (std::size_t i = 0;
         output.colours && i < regions && i < std::size_t(std::max(output.colourCapacity, 0)); ++i)
        std::memcpy(output.colours + 4 * i, result.regions[i].colour.v, 4);
    output.regionCount = int32_t(std::min<std::size_t>(regions, INT32_MAX));
    output.gap = result.gap;
    return VANDREL_DONE;
}

// A box of inclusive bounds, not empty, inside [0, width) x [0, height).
bool BoxInside(const int32_t* box, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    return box[0] <= box[2] && box[1] <= box[3] && box[0] >= x0 && box[1] >= y0 && box[2] <= x1 &&
           box[3] <= y1;
}

// The caller's buffers hold `area` and nothing else, so a change outside it
// names pixels no buffer holds: refused before any of them is read.
bool RemeltBoxesFit(int32_t width, int32_t height, const int32_t* area, const int32_t* changed) {
    return width > 0 && height > 0 && BoxInside(area, 0, 0, width - 1, height - 1) &&
           BoxInside(changed, area[0], area[1], area[2], area[3]);
}

}  // namespace

void vandrel_autoflat_defaults(VandrelAutoFlatSettings* settings) {
    if (!settings) return;
    const autoflat::SAutoFlatSettings defaults;
    *settings = VandrelAutoFlatSettings{};
    settings->gap = defaults.gap;
    settings->minRegion = int32_t(defaults.minRegion);
    settings->spotBlacks = defaults.spotBlacks == autoflat::ESpotBlacks::Regions ? 1 : 0;
    settings->keepLines = defaults.keepLines ? 1 : 0;
    settings->workers = defaults.workers;
    settings->dpi = defaults.dpi;
    settings->threshold = defaults.darkness;
}

int32_t vandrel_autoflat(const uint8_t* lineArt, int32_t lineLayout, const uint8_t* hints,
                         int32_t hintsLayout, int32_t width, int32_t height,
                         const VandrelAutoFlatSettings* settings, VandrelAutoFlatOutput* output,
                         VandrelProgress progress, void* context) {
    return vandrel_autoflat_like(lineArt, lineLayout, hints, hintsLayout, nullptr, 0, width, height, settings,
                                 output, progress, context);
}

int32_t vandrel_autoflat_like(const uint8_t* lineArt, int32_t lineLayout, const uint8_t* hints,
                              int32_t hintsLayout, const uint8_t* earlier, int32_t earlierLayout,
                              int32_t width, int32_t height, const VandrelAutoFlatSettings* settings,
                              VandrelAutoFlatOutput* output, VandrelProgress progress, void* context) {
    if (!output) return VANDREL_BAD_ARGUMENTS;
    output->regionCount = 0;
    output->gap = 0;
    output->meltDepth = 0;
    output->message[0] = '\0';
    if (!lineArt || !settings) {
        SetMessage(*output, "no line art or no settings");
        return VANDREL_BAD_ARGUMENTS;
    }
    try {
        const SPages pages{lineArt, lineLayout, hints, hintsLayout, earlier, earlierLayout};
        const int32_t result = AutoFlat(pages, width, height, *settings, *output, progress, context);
        if (result == VANDREL_BAD_ARGUMENTS && !output->message[0])
            SetMessage(*output, "the page or settings are not valid");
        return result;
    } catch (const std::bad_alloc&) {
        SetMessage(*output, vandrel_result_text(VANDREL_NO_MEMORY));
        return VANDREL_NO_MEMORY;
    } catch (...) {
        SetMessage(*output, vandrel_result_text(VANDREL_FAILED));
        return VANDREL_FAILED;
    }
}

int32_t vandrel_autoflat_remelt(uint32_t* labels, uint8_t* marks, int32_t width, int32_t height,
                                const int32_t* area, const int32_t* changed, int32_t depth,
                                int32_t* touched) {
    if (!labels || !marks || !area || !changed || !touched || depth < 1) return VANDREL_BAD_ARGUMENTS;
    autoflat::SPageArea page;
    page.pageWidth = width;
    page.pageHeight = height;
    page.area = {area[0], area[1], area[2], area[3]};
    page.labels = labels;
    page.marks = marks;
    autoflat::SPixelBox done;
    // Only a part too small says where to look: any other answer leaves no
    // rectangle to call again with.
    touched[0] = touched[1] = touched[2] = touched[3] = -1;
    if (!RemeltBoxesFit(width, height, area, changed)) return VANDREL_BAD_ARGUMENTS;
    try {
        switch (autoflat::RemeltLabels(page, {changed[0], changed[1], changed[2], changed[3]},
                                       uint32_t(depth), done)) {
            case autoflat::ERemeltStatus::Done:
                break;
            case autoflat::ERemeltStatus::NeedArea:
                touched[0] = done.x0, touched[1] = done.y0, touched[2] = done.x1, touched[3] = done.y1;
                return VANDREL_FAILED;
            default:
                return VANDREL_BAD_ARGUMENTS;
        }
    } catch (const std::bad_alloc&) {
        return VANDREL_NO_MEMORY;
    } catch (...) {
        return VANDREL_FAILED;
    }
    touched[0] = done.x0, touched[1] = done.y0, touched[2] = done.x1, touched[3] = done.y1;
    return VANDREL_DONE;
}
