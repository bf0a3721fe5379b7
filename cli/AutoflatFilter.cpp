#include "cli/AutoflatFilter.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "autoflat/AutoFlats.h"
#include "cli/ImageError.h"
#include "cli/ImageFiles.h"
#include "cli/ImageLimits.h"
#include "cli/InputFile.h"
#include "cli/LayeredPage.h"
#include "cli/Interrupt.h"
#include "cli/PaletteFile.h"
#include "cli/RegionMapFile.h"
#include "cli/SameFile.h"
#include "cli/WriteAll.h"
#include "cli/WrittenList.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

static_assert(kMaxLineArtSide <= uint32_t(autoflat::kMaxSide),
              "the readers let through what auto flats take");

// The codecs' buffers and the program, around the pixels.
constexpr uint64_t kWorkingBytes = uint64_t(24) << 20;

autoflat::EPageKind KindOf(const SRaster& raster) {
    using autoflat::EPageKind;
    switch (raster.model) {
        case EColourModel::Gray:
            return raster.hasAlpha ? EPageKind::GrayAlpha : EPageKind::Gray;
        case EColourModel::Cmyk:
            return raster.hasAlpha ? EPageKind::CmykAlpha : EPageKind::Cmyk;
        case EColourModel::Rgb:
            break;
    }
    return raster.hasAlpha ? EPageKind::Rgba : EPageKind::Rgb;
}

autoflat::SPageView ViewOf(const SRaster& raster) {
    return {raster.pixels.Bytes().data(), raster.width, raster.height, KindOf(raster), 0};
}

double DotsPerInch(const SResolution& resolution) {
    if (!resolution.present || resolution.unit == EResolutionUnit::None || resolution.x <= 0) return 0;
    return resolution.PerMetre(resolution.x) * 0.0254;
}

// The extra outputs meet the same rules as the flats: never an input of
// the page, an existing file only with --overwrite.
void CheckExtraOutput(const std::string& path, const char* what, const SPageJob& job,
                      const SAutoflatOptions& options) {
    const std::pair<const std::string*, const char*> inputs[] = {{&job.input, "the input itself"},
                                                                 {&job.hints, "the hints page"},
                                                                 {&job.like, "the earlier flats"},
                                                                 {&options.palette, "the palette"}};
    for (const auto& [input, called] : inputs)
        if (!input->empty() && SameFile(*input, path))
            throw CImageError(std::string(what) + " " + QuotedName(path) + " is " + called);
    SPageJob extra = job;
    extra.output = path;
    CheckOutput(extra);
    if (SameFile(path, job.output)) throw CImageError(path + " would also be the flats' output");
}

struct SAutoflatPage {
    SPageInFlight& page;  // the flats replace the line art in page.raster
    std::optional<SRaster> hints;
    std::optional<SRaster> earlier;  // the flats whose colours the regions keep
    autoflat::SAutoFlatResult result;
};

// A page that goes with the line art (`what`: "the hints page", "the
// earlier flats"), of its size and colour model.
SRaster ReadCompanion(const SRaster& page, const std::string& path, const std::string& what,
                      const SCodecOptions& codec) {
    SCodecOptions options = codec;
    // Counted already in the page's own need.
    options.pageNeed = [](uint32_t width, uint32_t height, int planes, bool) {
        return uint64_t(width) * height * uint64_t(planes);
    };
    options.progress = nullptr;
    SRaster companion;
    try {
        CheckInputFile(path);
        EImageFormat format = EImageFormat::Png;
        companion = ReadImage(path, format, options);
    } catch (const CImageError& e) {
        throw CImageError(what + " " + QuotedName(path) + ": " + e.what());
    }
    if (companion.width != page.width || companion.height != page.height)
        throw CImageError(what + " " + QuotedName(path) + (what.back() == 's' ? " are " : " is ") +
                          std::to_string(companion.width) + " x " + std::to_string(companion.height) +
                          " pixels, the page " + std::to_string(page.width) + " x " +
                          std::to_string(page.height) + ": they must be the same size");
    if ((companion.model == EColourModel::Cmyk) != (page.model == EColourModel::Cmyk))
        throw CImageError(what + " " + QuotedName(path) +
                          " must be CMYK exactly when the page is (its colours are of the page's model)");
    return companion;
}

autoflat::SAutoFlatSettings SettingsFor(const SAutoflatOptions& options,
                                        const std::vector<SPaletteColour>& palette, const SRaster& raster,
                                        int workers) {
    autoflat::SAutoFlatSettings settings;
    settings.gap = options.gap.value_or(0);
    settings.dpi = DotsPerInch(raster.resolution);
    if (options.minRegion) settings.minRegion = *options.minRegion;
    if (options.threshold) settings.darkness = uint8_t(*options.threshold);
    settings.spotBlacks = options.spotBlacks == ESpotBlackChoice::Lines ? autoflat::ESpotBlacks::Lines
                                                                        : autoflat::ESpotBlacks::Regions;
    settings.keepLines = options.keepLines;
    settings.workers = workers;
    if (!palette.empty() && raster.model == EColourModel::Cmyk)
        throw CImageError("a palette holds RGB colours and this page is CMYK: leave out --palette");
    for (const SPaletteColour& c : palette) settings.palette.push_back(autoflat::SColour{{c.r, c.g, c.b, 0}});
    return settings;
}

void RunAutoflat(SAutoflatPage& work, const autoflat::SAutoFlatSettings& settings,
                 CProgressDisplay& display) {
    SRaster& raster = work.page.raster;
    display.BeginFlatting(raster.width, raster.height);
    const autoflat::SPageView page = ViewOf(raster);
    std::optional<autoflat::SPageView> hints;
    if (work.hints) hints = ViewOf(*work.hints);
    autoflat::SAutoFlatSettings chosen = settings;
    if (work.earlier) chosen.earlier = ViewOf(*work.earlier);
    work.result = autoflat::AutoFlat(page, hints ? &*hints : nullptr, chosen, [&](double done, const char*) {
        display.StageDone(done);
        return !InterruptRequested();
    });
    work.earlier.reset();
    const bool layered = work.page.job.layers != ELayeredFormat::None;
    if (layered && work.hints) work.page.hintsLayer = std::move(*work.hints);
    work.hints.reset();
    using autoflat::EAutoFlatStatus;
    switch (work.result.status) {
        case EAutoFlatStatus::Ok:
            break;
        case EAutoFlatStatus::Cancelled:
            work.page.interrupted = true;
            return;
        case EAutoFlatStatus::OutOfMemory:
            throw CImageError(kNotEnoughMemory);
        default:
            throw CImageError(work.result.message.empty() ? autoflat::StatusName(work.result.status)
                                                          : work.result.message);
    }
    if (InterruptRequested()) {
        work.page.interrupted = true;
        return;
    }
    // A page without lines is one region: flats of one colour, which no
    // one asks for. It is most likely the wrong file, or a --threshold set too high.
    if (work.result.linePixels == 0)
        throw CImageError("no line art: no pixel is dark enough to be a line (--threshold " +
                          std::to_string(settings.darkness) + "), so there are no regions to fill");
    // Nor is a page that is all line art: one black region, the page as it was.
    if (work.result.linePixels >= uint64_t(raster.width) * uint64_t(raster.height))
        throw CImageError("the page is all line art: there is no paper to fill");
    // The flats take the line art's place, with what the file said about
    // itself; a gray page's profile does not describe colour flats.
    SRaster flats;
    flats.width = work.result.width;
    flats.height = work.result.height;
    flats.model = autoflat::IsCmyk(work.result.flatsKind) ? EColourModel::Cmyk : EColourModel::Rgb;
    flats.hasAlpha = autoflat::HasAlpha(work.result.flatsKind);
    flats.resolution = raster.resolution;
    if (raster.model != EColourModel::Gray) {
        flats.iccProfile = raster.iccProfile;
        flats.iccName = raster.iccName;
    }
    flats.pngColour = raster.pngColour;
    flats.pngColour.hasTransparentColour = false;
    flats.pngExif = raster.pngExif;
    flats.tiffOrientation = raster.tiffOrientation;
    flats.tiffCompression = raster.tiffCompression;
    flats.tiffPredictor = raster.tiffPredictor;
    if (layered) work.page.original = std::move(raster);
    raster = SRaster();
    if (work.result.flats.size() != size_t(flats.width) * size_t(flats.height) * size_t(flats.Planes()))
        throw CImageError("auto flats gave flats of the wrong size");
    flats.pixels = sim::CHostImage::Uninitialised(flats.width, flats.height, flats.Planes());
    std::memcpy(flats.pixels.Bytes().data(), work.result.flats.data(), work.result.flats.size());
    std::vector<uint8_t>().swap(work.result.flats);
    raster = std::move(flats);
}

std::vector<SPaletteColour> RegionColours(const autoflat::SAutoFlatResult& result) {
    std::vector<SPaletteColour> colours;
    colours.reserve(result.regions.size());
    const bool cmyk = autoflat::IsCmyk(result.flatsKind);
    for (const autoflat::SRegion& region : result.regions) {
        const uint8_t* v = region.colour.v;
        if (cmyk) {
            // Without a profile: only for telling the regions apart.
            const int k = 255 - v[3];
            colours.push_back({uint8_t((255 - v[0]) * k / 255), uint8_t((255 - v[1]) * k / 255),
                               uint8_t((255 - v[2]) * k / 255)});
        } else {
            colours.push_back({v[0], v[1], v[2]});
        }
    }
    return colours;
}

// The map and its palette, written with the flats and put in place with them.
void AddRegionOutputs(SAutoflatPage& work, const std::string& mapPath) {
    const autoflat::SAutoFlatResult& result = work.result;
    if (result.labels.size() != size_t(result.width) * size_t(result.height))
        throw CImageError("auto flats gave a region map of the wrong size");
    auto labels = std::make_shared<std::vector<uint32_t>>(std::move(work.result.labels));
    const int width = result.width, height = result.height;
    const size_t regions = result.regions.size();
    const SResolution resolution = work.page.raster.resolution;
    work.page.extras.push_back({mapPath, [=](int fd, const SCodecOptions& codec) mutable {
                                    WriteRegionMap(fd, *labels, width, height, regions, resolution, codec);
                                    labels.reset();
                                }});
    const std::string text = GimpPaletteText(fs::path(mapPath).stem().string(), RegionColours(result));
    work.page.extras.push_back({RegionPalettePath(mapPath), [text](int fd, const SCodecOptions&) {
                                    if (!WriteAll(fd, text.data(), text.size()))
                                        throw CImageError(std::string("cannot write: ") +
                                                          std::strerror(errno));
                                }});
}

}  // namespace

uint64_t AutoflatMemoryNeed(uint32_t width, uint32_t height, int planes, bool hasAlpha, bool hints, bool map,
                            bool like) {
    const uint64_t pixels = uint64_t(width) * height;
    const autoflat::EPageKind kind = planes - (hasAlpha ? 1 : 0) == 1   ? autoflat::EPageKind::Gray
                                     : planes - (hasAlpha ? 1 : 0) == 4 ? autoflat::EPageKind::Cmyk
                                                                        : autoflat::EPageKind::Rgb;
    // The page read, a hints page and earlier flats of up to four samples a
    // pixel each; the
    // library (its results included); the flats copied for writing, and an
    // RGB map.
    return pixels * uint64_t(planes) + (hints ? 4 * pixels : 0) + (like ? 4 * pixels : 0) +
           autoflat::PeakBytes(int32_t(width), int32_t(height), kind, hints) + 4 * pixels +
           (map ? 3 * pixels : 0) + kWorkingBytes;
}

void CAutoflatFilter::SetReading(SCodecOptions& files) const {
    files.lineArt = true;
    const bool hints = !options_.hints.empty(), map = !options_.regions.empty(),
               like = !options_.like.empty();
    files.pageNeed = [hints, map, like](uint32_t width, uint32_t height, int planes, bool hasAlpha) {
        return AutoflatMemoryNeed(width, height, planes, hasAlpha, hints, map, like);
    };
}

void CAutoflatFilter::Run(SPageInFlight& page, CProgressDisplay& display) {
    SAutoflatPage work{page, {}, {}, {}};
    const SPageJob& job = page.job;
    const bool map = !job.regions.empty();
    if (map) {
        CheckExtraOutput(job.regions, "the region map", job, options_);
        CheckExtraOutput(RegionPalettePath(job.regions), "the region palette", job, options_);
    }
    SCodecOptions files = codec_;
    SetReading(files);
    if (!job.hints.empty()) work.hints = ReadCompanion(page.raster, job.hints, "the hints page", files);
    if (!job.like.empty()) work.earlier = ReadCompanion(page.raster, job.like, "the earlier flats", files);
    RunAutoflat(work, SettingsFor(options_, palette_, page.raster, codec_.threads), display);
    if (map && page.GoesOn()) AddRegionOutputs(work, job.regions);
}

}  // namespace cli
