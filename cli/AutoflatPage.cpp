#include "cli/AutoflatPage.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

#include "autoflat/AutoFlats.h"
#include "cli/Batch.h"
#include "cli/ImageError.h"
#include "cli/ImageFiles.h"
#include "cli/ImageLimits.h"
#include "cli/InputFile.h"
#include "cli/LayeredPage.h"
#include "cli/Interrupt.h"
#include "cli/PaletteFile.h"
#include "cli/RegionMapFile.h"
#include "cli/SafeOutput.h"
#include "cli/WrittenList.h"

namespace cli {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The codecs' buffers and the program, around the pixels.
constexpr uint64_t kWorkingBytes = uint64_t(24) << 20;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void WriteAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) throw CImageError(std::string("cannot write: ") + std::strerror(errno));
        done += size_t(wrote);
    }
}

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
void CheckExtraOutput(const std::string& path, const SPageJob& job, const std::string& hints) {
    if (!hints.empty()) CheckOutput(SPageJob{hints, path, job.overwrite});
    CheckOutput(SPageJob{job.input, path, job.overwrite});
    if (PathKey(path) == PathKey(job.output)) throw CImageError(path + " would also be the flats' output");
}

struct SAutoflatPage {
    SPageInFlight page;  // the flats replace the line art in page.raster
    std::optional<SRaster> hints;
    SRaster lineArt;  // the page as read, kept for a layered output
    autoflat::SAutoFlatResult result;
};

void ReadHints(SAutoflatPage& work, const std::string& path, const SCodecOptions& codec) {
    SCodecOptions options = codec;
    // Counted already in the page's own need.
    options.pageNeed = [](uint32_t width, uint32_t height, int planes, bool) {
        return uint64_t(width) * height * uint64_t(planes);
    };
    options.progress = nullptr;
    try {
        CheckInputFile(path);
        EImageFormat format = EImageFormat::Png;
        work.hints = ReadImage(path, format, options);
    } catch (const CImageError& e) {
        throw CImageError("the hints page " + QuotedName(path) + ": " + e.what());
    }
    const SRaster& page = work.page.raster;
    const SRaster& hints = *work.hints;
    if (hints.width != page.width || hints.height != page.height)
        throw CImageError("the hints page " + QuotedName(path) + " is " + std::to_string(hints.width) +
                          " x " + std::to_string(hints.height) + " pixels, the page " +
                          std::to_string(page.width) + " x " + std::to_string(page.height) +
                          ": they must be the same size");
    if ((hints.model == EColourModel::Cmyk) != (page.model == EColourModel::Cmyk))
        throw CImageError(
            "the hints page " + QuotedName(path) +
            " must be CMYK exactly when the page is (the hints are colours of the page's model)");
}

autoflat::SAutoFlatSettings SettingsFor(const SAutoflatOptions& options, const SRaster& raster, int workers) {
    autoflat::SAutoFlatSettings settings;
    settings.gap = options.gap.value_or(0);
    settings.dpi = DotsPerInch(raster.resolution);
    if (options.minRegion) settings.minRegion = *options.minRegion;
    if (options.threshold) settings.darkness = uint8_t(*options.threshold);
    settings.spotBlacks = options.spotBlacks == ESpotBlackChoice::Lines ? autoflat::ESpotBlacks::Lines
                                                                        : autoflat::ESpotBlacks::Regions;
    settings.keepLines = options.keepLines;
    settings.workers = workers;
    if (!options.palette.empty()) {
        if (raster.model == EColourModel::Cmyk)
            throw CImageError("a palette holds RGB colours and this page is CMYK: leave out --palette");
        std::vector<SPaletteColour> colours;
        try {
            colours = ReadPaletteFile(options.palette);
        } catch (const CImageError& e) {
            throw CImageError("the palette " + QuotedName(options.palette) + ": " + e.what());
        }
        for (const SPaletteColour& c : colours)
            settings.palette.push_back(autoflat::SColour{{c.r, c.g, c.b, 0}});
    }
    return settings;
}

void RunAutoflat(SAutoflatPage& work, const SAutoflatOptions& options, const SCodecOptions& codec,
                 CProgressDisplay& display) {
    SRaster& raster = work.page.raster;
    const autoflat::SAutoFlatSettings settings = SettingsFor(options, raster, codec.threads);
    display.BeginFlatting(raster.width, raster.height);
    const autoflat::SPageView page = ViewOf(raster);
    std::optional<autoflat::SPageView> hints;
    if (work.hints) hints = ViewOf(*work.hints);
    work.result =
        autoflat::AutoFlat(page, hints ? &*hints : nullptr, settings, [&](double done, const char*) {
            display.StageDone(done);
            return !InterruptRequested();
        });
    const bool layered = work.page.job.layers != ELayeredFormat::None;
    if (!layered) work.hints.reset();
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
    flats.tiffOrientation = raster.tiffOrientation;
    flats.tiffCompression = raster.tiffCompression;
    flats.tiffPredictor = raster.tiffPredictor;
    if (layered) work.lineArt = std::move(raster);
    raster = SRaster();
    if (work.result.flats.size() != size_t(flats.width) * size_t(flats.height) * size_t(flats.Planes()))
        throw CImageError("auto flats gave flats of the wrong size");
    flats.pixels = sim::CHostImage::Uninitialised(flats.width, flats.height, flats.Planes());
    std::memcpy(flats.pixels.Bytes().data(), work.result.flats.data(), work.result.flats.size());
    std::vector<uint8_t>().swap(work.result.flats);
    raster = std::move(flats);
}

// The flats, the map and its palette appear together or not at all: each
// is written under a temporary name, and the flats are renamed into place
// last, so that finding them means finding the others.
void WriteOutputs(SAutoflatPage& work, const SAutoflatOptions& options, const SCodecOptions& codec) {
    SPageInFlight& page = work.page;
    if (codec.heedInterrupt && InterruptRequested()) {
        page.interrupted = true;
        return;
    }
    std::optional<CSafeOutput> map, palette;
    if (!options.regions.empty()) {
        map.emplace(options.regions, page.job.overwrite);
        const autoflat::SAutoFlatResult& result = work.result;
        if (result.labels.size() != size_t(result.width) * size_t(result.height))
            throw CImageError("auto flats gave a region map of the wrong size");
        WriteRegionMap(map->Fd(), result.labels, result.width, result.height, result.regions.size(),
                       page.raster.resolution, codec);
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
        const std::string paletteName = fs::path(options.regions).stem().string();
        const std::string text = GimpPaletteText(paletteName, colours);
        palette.emplace(RegionPalettePath(options.regions), page.job.overwrite);
        WriteAll(palette->Fd(), text);
    }
    std::vector<uint32_t>().swap(work.result.labels);
    CSafeOutput file(page.job.output, page.job.overwrite);
    const std::vector<std::string> warnings =
        page.job.layers != ELayeredFormat::None
            ? WriteLayeredPage(file.Fd(), page.job.layers, work.lineArt, page.raster,
                               work.hints ? &*work.hints : nullptr, codec)
            : WriteImage(file.Fd(), page.job.output, page.outputFormat, page.raster, codec);
    if (codec.heedInterrupt && InterruptRequested()) {
        page.interrupted = true;
        return;
    }
    if (map) map->Commit();
    if (palette) palette->Commit();
    file.Commit();
    page.warnings.insert(page.warnings.end(), warnings.begin(), warnings.end());
}

}  // namespace

uint64_t AutoflatMemoryNeed(uint32_t width, uint32_t height, int planes, bool hasAlpha, bool hints,
                            bool map) {
    const uint64_t pixels = uint64_t(width) * height;
    const autoflat::EPageKind kind = planes - (hasAlpha ? 1 : 0) == 1   ? autoflat::EPageKind::Gray
                                     : planes - (hasAlpha ? 1 : 0) == 4 ? autoflat::EPageKind::Cmyk
                                                                        : autoflat::EPageKind::Rgb;
    // The page read and a hints page of up to four samples a pixel; the
    // library (its results included); the flats copied for writing, and an
    // RGB map.
    return pixels * uint64_t(planes) + (hints ? 4 * pixels : 0) +
           autoflat::PeakBytes(int32_t(width), int32_t(height), kind, hints) + 4 * pixels +
           (map ? 3 * pixels : 0) + kWorkingBytes;
}

EPageResult AutoflatPage(const SPageJob& job, const SAutoflatOptions& options, const SCodecOptions& codec,
                         CProgressDisplay& display, double& megapixels) {
    SCodecOptions files = codec;
    files.lineArt = true;
    files.progress = [&display](double done) { display.StageDone(done); };
    const bool hints = !options.hints.empty(), map = !options.regions.empty();
    files.pageNeed = [hints, map](uint32_t width, uint32_t height, int planes, bool hasAlpha) {
        return AutoflatMemoryNeed(width, height, planes, hasAlpha, hints, map);
    };
    display.Begin(PageLabel(job), EPageStage::Reading);
    SAutoflatPage work;
    work.page = ReadPage(job, files);
    SPageInFlight& page = work.page;
    for (const std::string& warning : page.warnings) {
        display.Clear();
        std::cerr << "vandrel: " << QuotedName(job.input) << ": warning: " << warning << std::endl;
    }
    page.warnings.clear();
    if (page.GoesOn()) {
        const Clock::time_point start = Clock::now();
        Guarded(page, [&] {
            if (map) {
                CheckExtraOutput(options.regions, job, options.hints);
                CheckExtraOutput(RegionPalettePath(options.regions), job, options.hints);
            }
            if (hints) ReadHints(work, options.hints, files);
            RunAutoflat(work, options, codec, display);
        });
        page.flatSeconds = SecondsSince(start);
    }
    if (page.GoesOn()) {
        display.BeginWriting();
        const Clock::time_point start = Clock::now();
        Guarded(page, [&] { WriteOutputs(work, options, files); });
        page.writeSeconds = SecondsSince(start);
    }
    page.raster = SRaster();
    // The extra outputs are listed after the flats, which ReportPage lists.
    const EPageResult result = ReportPage(page, display);
    if (result == EPageResult::Written) {
        megapixels = page.megapixels;
        if (map) {
            ListWritten(options.regions);
            ListWritten(RegionPalettePath(options.regions));
        }
    }
    return result;
}

}  // namespace cli
