#include "cli/PageJob.h"

#include <filesystem>
#include <iostream>
#include <new>
#include <system_error>

#include "cli/ImageError.h"
#include "cli/ImageFiles.h"
#include "cli/Interrupt.h"
#include "cli/PluginFailure.h"
#include "cli/PluginRun.h"
#include "cli/SafeOutput.h"
#include "cli/WrittenList.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

// Refuses before any work is done when the output cannot be written:
// cheaper than finding out after flatting a large page.
void CheckOutput(const SPageJob& job) {
    std::error_code error;
    const fs::file_status status = fs::status(job.output, error);
    if (!fs::exists(status)) return;
    if (fs::is_directory(status)) throw CImageError(job.output + " is a folder");
    // Never the input, not even with --overwrite, whatever name (a link,
    // a path through another folder) the output goes by.
    if (fs::equivalent(job.input, job.output, error))
        throw CImageError("the output " + job.output + " is the input itself");
    if (!job.overwrite) throw CImageError(job.output + " already exists (--overwrite replaces it)");
}

EPageResult Fail(CProgressDisplay& display, const SPageJob& job, const std::string& reason) {
    // A reader or writer stopped by Ctrl-C fails in its own words; the
    // interruption is what happened.
    if (InterruptRequested()) return EPageResult::Interrupted;
    display.Clear();
    std::cerr << "vandrel: " << QuotedName(job.input) << ": " << reason << std::endl;
    return EPageResult::Failed;
}

void Warn(CProgressDisplay& display, const SPageJob& job, const std::string& warning) {
    display.Clear();
    std::cerr << "vandrel: " << QuotedName(job.input) << ": warning: " << warning << std::endl;
}

std::string PluginFailure(const SRunOutcome& outcome) {
    if (!outcome.fault.empty()) return outcome.fault;
    return DescribePluginFailure({outcome.result, outcome.failedSelector, outcome.delivered});
}

}  // namespace

EPageResult FlatPage(sim::CHostSimulator& host, const SPageJob& job, const SFlatSettings& settings,
                     const SCodecOptions& codec, CProgressDisplay& display) {
    try {
        if (InterruptRequested()) return EPageResult::Interrupted;
        // The input first: "d1/" is a folder, whatever output it would name.
        CheckInputFile(job.input);
        CheckOutput(job);
        SCodecOptions files = codec;
        files.progress = [&display](double done) { display.StageDone(done); };
        display.Begin(QuotedName(job.input));
        EImageFormat inputFormat = EImageFormat::Png;
        SRaster raster = ReadImage(job.input, inputFormat, files);
        // An output named without a known extension (possible with
        // --out-dir) keeps the input's format.
        const EImageFormat outputFormat = FormatForName(job.output).value_or(inputFormat);
        if (outputFormat == EImageFormat::Png && raster.model == EColourModel::Cmyk)
            throw CImageError("PNG cannot hold CMYK images; name the output .tif or .tiff");
        if (!raster.readWarning.empty()) Warn(display, job, raster.readWarning);
        if (InterruptRequested()) return EPageResult::Interrupted;

        const SRunOutcome outcome = FlatWithPlugin(host, raster, settings, display);
        if (outcome.interrupted) {
            display.Clear();
            return EPageResult::Interrupted;
        }
        if (outcome.result != host::noErr || !outcome.fault.empty())
            return Fail(display, job, PluginFailure(outcome));

        display.BeginWriting();
        CSafeOutput file(job.output, job.overwrite);
        const std::string warning = WriteImage(file.Fd(), job.output, outputFormat, raster, files);
        if (InterruptRequested()) {
            display.Clear();
            return EPageResult::Interrupted;
        }
        file.Commit();
        if (!warning.empty()) Warn(display, job, warning);
        display.Finish(double(raster.width) * double(raster.height) / 1e6);
        ListWritten(job.output);
        return EPageResult::Written;
    } catch (const CImageError& e) {
        return Fail(display, job, e.what());
    } catch (const std::bad_alloc&) {
        return Fail(display, job, "not enough memory for this page");
    } catch (const std::exception& e) {
        return Fail(display, job, e.what());
    }
}

}  // namespace cli
