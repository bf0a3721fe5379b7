#include "cli/PageJob.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <new>
#include <system_error>

#include "cli/ImageError.h"
#include "cli/ImageLimits.h"
#include "cli/InputFile.h"
#include "cli/LayeredPage.h"
#include "cli/Interrupt.h"
#include "cli/PluginFailure.h"
#include "cli/PluginRun.h"
#include "cli/SafeOutput.h"
#include "cli/WrittenList.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

std::string PluginFailure(const SRunOutcome& outcome) {
    if (!outcome.fault.empty()) return outcome.fault;
    return DescribePluginFailure({outcome.result, outcome.failedSelector, outcome.delivered});
}

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

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

void FlatReadPage(sim::CHostSimulator& host, SPageInFlight& page, const SFlatSettings& settings,
                  CProgressDisplay& display) {
    if (!page.GoesOn()) return;
    if (InterruptRequested()) {
        page.interrupted = true;
        return;
    }
    const Clock::time_point start = Clock::now();
    Guarded(page, [&] {
        if (page.job.layers != ELayeredFormat::None) page.original = page.raster;
        const SRunOutcome outcome = FlatWithPlugin(host, page.raster, settings, display);
        if (outcome.interrupted)
            page.interrupted = true;
        else if (outcome.result != host::noErr || !outcome.fault.empty())
            page.failure = PluginFailure(outcome);
    });
    if (!page.GoesOn()) page.raster = page.original = SRaster();
    page.flatSeconds = SecondsSince(start);
}

void WritePage(SPageInFlight& page, const SCodecOptions& codec) {
    if (!page.GoesOn()) return;
    if (codec.heedInterrupt && InterruptRequested()) {
        page.interrupted = true;
        page.raster = page.original = SRaster();
        return;
    }
    const Clock::time_point start = Clock::now();
    Guarded(page, [&] {
        CSafeOutput file(page.job.output, page.job.overwrite);
        const std::vector<std::string> warnings =
            page.job.layers != ELayeredFormat::None
                ? WriteLayeredPage(file.Fd(), page.job.layers, page.original, page.raster, nullptr, codec)
                : WriteImage(file.Fd(), page.job.output, page.outputFormat, page.raster, codec);
        // Stopped while writing: the file is discarded with `file`.
        if (codec.heedInterrupt && InterruptRequested()) {
            page.interrupted = true;
            return;
        }
        file.Commit();
        page.warnings.insert(page.warnings.end(), warnings.begin(), warnings.end());
    });
    page.raster = page.original = SRaster();
    page.writeSeconds = SecondsSince(start);
}

EPageResult ReportPage(const SPageInFlight& page, CProgressDisplay& display) {
    // A reader or writer stopped by Ctrl-C fails in its own words; the
    // interruption is what happened.
    if (page.interrupted || (!page.failure.empty() && InterruptRequested())) {
        display.Clear();
        return EPageResult::Interrupted;
    }
    for (const std::string& warning : page.warnings) {
        display.Clear();
        std::cerr << "vandrel: " << QuotedName(page.job.input) << ": warning: " << warning << std::endl;
    }
    if (!page.failure.empty()) {
        display.Clear();
        std::cerr << "vandrel: " << QuotedName(page.job.input) << ": " << page.failure << std::endl;
        return EPageResult::Failed;
    }
    display.Finish(PageLabel(page.job), page.megapixels, page.readSeconds, page.flatSeconds,
                   page.writeSeconds);
    ListWritten(page.job.output);
    return EPageResult::Written;
}

EPageResult FlatPage(sim::CHostSimulator& host, const SPageJob& job, const SFlatSettings& settings,
                     const SCodecOptions& codec, CProgressDisplay& display) {
    SCodecOptions files = codec;
    files.progress = [&display](double done) { display.StageDone(done); };
    display.Begin(PageLabel(job), EPageStage::Reading);
    SPageInFlight page = ReadPage(job, files);
    // A read warning is worth seeing before a long flat.
    for (const std::string& warning : page.warnings) {
        display.Clear();
        std::cerr << "vandrel: " << QuotedName(job.input) << ": warning: " << warning << std::endl;
    }
    page.warnings.clear();
    FlatReadPage(host, page, settings, display);
    if (page.GoesOn()) display.BeginWriting();
    WritePage(page, files);
    return ReportPage(page, display);
}

}  // namespace cli
