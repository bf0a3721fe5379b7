#include "cli/PageJob.h"

#include <filesystem>
#include <iostream>
#include <new>
#include <system_error>

#include "cli/ImageError.h"
#include "cli/ImageLimits.h"
#include "cli/InputFile.h"
#include "cli/LayeredPage.h"
#include "cli/Interrupt.h"
#include "cli/PageFilter.h"
#include "cli/PageOutputs.h"
#include "cli/Stopwatch.h"
#include "cli/WrittenList.h"

namespace cli {

namespace fs = std::filesystem;

void CheckOutput(const SPageJob& job) {
    std::error_code error;
    const fs::file_status status = fs::status(job.output, error);
    if (!fs::exists(status)) return;
    if (fs::is_directory(status)) throw CImageError(QuotedName(job.output) + " is a folder");
    // Never the input, not even with --overwrite, whatever name (a link,
    // a path through another folder) the output goes by.
    if (fs::equivalent(job.input, job.output, error))
        throw CImageError("the output " + QuotedName(job.output) + " is the input itself");
    if (!job.overwrite)
        throw CImageError(QuotedName(job.output) + " already exists (--overwrite replaces it)");
}

void Guarded(SPageInFlight& page, const std::function<void()>& stage) {
    try {
        stage();
    } catch (const CImageError& e) {
        page.failure = e.what();
    } catch (const std::bad_alloc&) {
        page.failure = kNotEnoughMemory;
    } catch (const std::exception& e) {
        page.failure = e.what();
    }
}

std::string PageLabel(const SPageJob& job) {
    const std::string name = QuotedName(job.input);
    if (job.count <= 1) return name;
    return "page " + std::to_string(job.number) + " of " + std::to_string(job.count) + ": " + name;
}

SPageInFlight ReadPage(const SPageJob& job, const SCodecOptions& codec) {
    SPageInFlight page;
    page.job = job;
    if (InterruptRequested()) {
        page.interrupted = true;
        return page;
    }
    const Clock::time_point start = Clock::now();
    Guarded(page, [&] {
        // The input first: "d1/" is a folder, whatever output it would name.
        CheckInputFile(job.input);
        CheckOutput(job);
        EImageFormat inputFormat = EImageFormat::Png;
        page.raster = ReadImage(job.input, inputFormat, codec);
        // An output named without a known extension (possible with
        // --out-dir) keeps the input's format.
        page.outputFormat = FormatForName(job.output).value_or(inputFormat);
        if (page.outputFormat == EImageFormat::Png && page.raster.model == EColourModel::Cmyk)
            throw CImageError("PNG cannot hold CMYK images; name the output .tif or .tiff");
        CheckLayeredPage(job.layers, page.raster);
        if (!page.raster.readWarning.empty()) page.warnings.push_back(page.raster.readWarning);
        page.megapixels = double(page.raster.width) * double(page.raster.height) / 1e6;
    });
    if (!page.GoesOn()) page.raster = SRaster();
    page.readSeconds = SecondsSince(start);
    return page;
}

void FilterPage(IPageFilter& filter, SPageInFlight& page, CProgressDisplay& display) {
    if (!page.GoesOn()) return;
    if (InterruptRequested()) {
        page.interrupted = true;
        return;
    }
    const Clock::time_point start = Clock::now();
    Guarded(page, [&] { filter.Run(page, display); });
    if (!page.GoesOn()) {
        page.raster = page.original = page.hintsLayer = SRaster();
        page.extras.clear();
    }
    page.flatSeconds = SecondsSince(start);
}

// The extra outputs first, each letting go of what it holds once written,
// and the flats last: whatever else a page gives plugs in here.
void WriteOutputs(SPageInFlight& page, const SCodecOptions& codec) {
    CPageOutputs outputs(page.job.overwrite);
    for (SExtraOutput& extra : page.extras) {
        extra.write(outputs.Add(extra.path), codec);
        extra.write = nullptr;
    }
    const int fd = outputs.Add(page.job.output);
    const SRaster* hints = page.hintsLayer.width ? &page.hintsLayer : nullptr;
    const std::vector<std::string> warnings =
        page.job.layers != ELayeredFormat::None
            ? WriteLayeredPage(fd, page.job.layers, page.original, page.raster, hints, codec)
            : WriteImage(fd, page.job.output, page.outputFormat, page.raster, codec);
    // Stopped while writing: the files are discarded with `outputs`.
    if (codec.heedInterrupt && InterruptRequested()) {
        page.interrupted = true;
        return;
    }
    outputs.Commit();
    page.warnings.insert(page.warnings.end(), warnings.begin(), warnings.end());
}

void WritePage(SPageInFlight& page, const SCodecOptions& codec) {
    if (!page.GoesOn()) return;
    if (codec.heedInterrupt && InterruptRequested()) {
        page.interrupted = true;
        page.raster = page.original = page.hintsLayer = SRaster();
        page.extras.clear();
        return;
    }
    const Clock::time_point start = Clock::now();
    Guarded(page, [&] { WriteOutputs(page, codec); });
    page.raster = page.original = page.hintsLayer = SRaster();
    for (SExtraOutput& extra : page.extras) extra.write = nullptr;
    page.writeSeconds = SecondsSince(start);
}

void ReportWarnings(SPageInFlight& page, CProgressDisplay& display) {
    for (const std::string& warning : page.warnings) {
        display.Clear();
        std::cerr << "vandrel: " << QuotedName(page.job.input) << ": warning: " << warning << std::endl;
    }
    page.warnings.clear();
}

EPageResult ReportPage(SPageInFlight& page, CProgressDisplay& display) {
    // A reader or writer stopped by Ctrl-C fails in its own words; the
    // interruption is what happened.
    if (page.interrupted || (!page.failure.empty() && InterruptRequested())) {
        display.Clear();
        return EPageResult::Interrupted;
    }
    ReportWarnings(page, display);
    if (!page.failure.empty()) {
        display.Clear();
        std::cerr << "vandrel: " << QuotedName(page.job.input) << ": " << page.failure << std::endl;
        return EPageResult::Failed;
    }
    display.Finish(PageLabel(page.job), page.megapixels, page.readSeconds, page.flatSeconds,
                   page.writeSeconds);
    ListWritten(page.job.output);
    for (const SExtraOutput& extra : page.extras) ListWritten(extra.path);
    return EPageResult::Written;
}

EPageResult RunPage(IPageFilter& filter, const SPageJob& job, const SCodecOptions& codec,
                    CProgressDisplay& display, double& megapixels) {
    SCodecOptions files = codec;
    filter.SetReading(files);
    files.progress = [&display](double done) { display.StageDone(done); };
    display.Begin(PageLabel(job), EPageStage::Reading);
    SPageInFlight page = ReadPage(job, files);
    // A read warning is worth seeing before a long flat.
    ReportWarnings(page, display);
    FilterPage(filter, page, display);
    if (page.GoesOn()) display.BeginWriting();
    WritePage(page, files);
    const EPageResult result = ReportPage(page, display);
    if (result == EPageResult::Written) megapixels = page.megapixels;
    return result;
}

}  // namespace cli
