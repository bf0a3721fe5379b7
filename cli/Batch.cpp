#include "cli/Batch.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <future>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "cli/AutoflatFilter.h"
#include "cli/ExitStatus.h"
#include "cli/FlatFilter.h"
#include "cli/ImageError.h"
#include "cli/ImageLimits.h"
#include "cli/InputList.h"
#include "cli/Interrupt.h"
#include "cli/OutputFolder.h"
#include "cli/PageJob.h"
#include "cli/PaletteFile.h"
#include "cli/Stopwatch.h"
#include "cli/Progress.h"
#include "cli/RegionMapFile.h"
#include "cli/SameFile.h"
#include "cli/WrittenList.h"
#include "host/PassSwitches.h"
#include "host/ProcessorCount.h"
#include "sim/HostSimulator.h"
#include "params/PrefsFolder.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

// The plug-in loaded once for the whole batch.
std::unique_ptr<sim::CHostSimulator> LoadPlugin(const SToolOptions& options) {
    const std::string path = options.pluginPath.empty() ? sim::DefaultPluginPath() : options.pluginPath;
    auto host = std::make_unique<sim::CHostSimulator>(path);
    if (options.usePrefs) {
        // The folder the plug-in itself would use in a host.
        std::string folder;
        host->prefsFolder = PrefsFolderPath(folder) ? folder : std::string();
    } else {
        // The simulator's own empty folder: the plug-in finds no file, so
        // the defaults hold, and the user's file is never touched.
        SetCleanupFolder(host->prefsFolder);
    }
    return host;
}

// Every input of the run, by identity (device and inode: any name, a link
// or a path through another folder) and, for inputs not there yet, by name.
class CRunInputs {
public:
    explicit CRunInputs(const std::vector<std::string>& inputs) {
        for (const std::string& input : inputs) {
            struct stat info {};
            if (::stat(input.c_str(), &info) == 0)
                byIdentity_.emplace(std::pair(info.st_dev, info.st_ino), input);
            byName_.emplace(PathKey(input), input);
        }
    }

    // The input that `output` is, or nullptr.
    const std::string* Find(const std::string& output) const {
        struct stat info {};
        if (::stat(output.c_str(), &info) == 0) {
            const auto at = byIdentity_.find(std::pair(info.st_dev, info.st_ino));
            if (at != byIdentity_.end()) return &at->second;
        }
        const auto at = byName_.find(PathKey(output));
        return at == byName_.end() ? nullptr : &at->second;
    }

private:
    std::map<std::pair<dev_t, ino_t>, std::string> byIdentity_;
    std::map<fs::path, std::string> byName_;
};

// The options that go with a single page, once folders are opened: a
// folder may stand for many.
std::string CheckPageCount(const SToolOptions& options, size_t named) {
    if (named <= 1) return {};
    const std::string count = std::to_string(named) + " are named";
    if (!options.output.empty())
        return "-o takes one page, and " + count + "; --out-dir DIR takes any number";
    const SAutoflatOptions& fill = options.autoflat;
    if (!fill.hints.empty() && fill.hints != kEachPage)
        return "--hints goes with one input: its hints page is of that page's size, and " + count +
               " (--hints each takes every page's NAME-hints.png)";
    if (!fill.like.empty() && fill.like != kEachPage)
        return "--like goes with one input: its earlier flats are of that page's size, and " + count +
               " (--like each takes every page's NAME-flats.png)";
    if (!fill.regions.empty() && fill.regions != kEachPage)
        return "--regions writes one map: give one input, not " + std::to_string(named) +
               " (--regions each writes every page's NAME-map.png)";
    return {};
}

// The words for an input that an output would replace.
std::string InputCalled(const std::string& same, const SPageJob& job, const std::string& palette) {
    if (same == job.input) return "the input itself";
    if (same == job.hints) return "the hints page";
    if (same == job.like)
        return "the earlier flats (--like): write the new ones elsewhere (--out-dir, --suffix)";
    if (same == palette) return "the palette";
    return "an input of this run (" + QuotedName(same) + ")";
}

// A page's files: its result, its hints page and earlier flats (with
// --hints each and --like each, the ones beside it when there are) and its
// region map.
SPageJob JobFor(const SToolOptions& options, const std::string& input) {
    SPageJob job;
    job.input = input;
    job.output = options.output;
    job.overwrite = options.overwrite;
    if (job.output.empty()) job.output = OutputBeside(input, options.outDir, options.suffix);
    job.layers = options.layers;
    if (options.layers != ELayeredFormat::None && options.output.empty())
        job.output = fs::path(job.output).replace_extension(LayeredExtension(options.layers)).string();
    const SAutoflatOptions& fill = options.autoflat;
    job.hints = fill.hints;
    if (fill.hints == kEachPage) {
        std::error_code error;
        job.hints = fs::is_regular_file(HintsBeside(input), error) ? HintsBeside(input) : std::string();
    }
    job.like = fill.like == kEachPage ? LikeBeside(input) : fill.like;
    job.regions = fill.regions == kEachPage ? MapBeside(input, job.output) : fill.regions;
    return job;
}

// Why `job` cannot go ahead beside the run's inputs and the outputs of the
// pages before it; empty when it can, and its outputs are then taken.
std::string Clash(const SPageJob& job, const CRunInputs& inputs, const std::string& palette,
                  std::map<fs::path, std::string>& taken) {
    std::vector<std::pair<std::string, const char*>> outputs = {{job.output, "the output"}};
    if (!job.regions.empty()) {
        outputs.emplace_back(job.regions, "the region map");
        outputs.emplace_back(RegionPalettePath(job.regions), "the region palette");
    }
    for (const auto& [output, called] : outputs)
        if (const std::string* same = inputs.Find(output))
            return QuotedName(job.input) + ": " + called + " " + QuotedName(output) + " is " +
                   InputCalled(*same, job, palette);
    for (const auto& [output, called] : outputs) {
        const auto at = taken.find(PathKey(output));
        if (at != taken.end())
            return QuotedName(job.input) + ": " + QuotedName(output) + " is already the output of " +
                   QuotedName(at->second);
    }
    for (const auto& [output, called] : outputs) taken.emplace(PathKey(output), job.input);
    return {};
}

// Each input's outputs, decided before anything is written. Two inputs of
// the same name from different folders would land on one output: the later
// ones fail rather than overwrite it. No output may be an input of the
// run, not even with --overwrite.
std::vector<SPageJob> PlanJobs(const SToolOptions& options, const std::vector<std::string>& pages,
                               std::vector<std::string>& clashes) {
    std::vector<SPageJob> planned;
    std::vector<std::string> read = pages;
    for (const std::string& input : pages) {
        planned.push_back(JobFor(options, input));
        if (!planned.back().hints.empty()) read.push_back(planned.back().hints);
        if (!planned.back().like.empty()) read.push_back(planned.back().like);
    }
    const std::string& palette = options.autoflat.palette;
    if (!palette.empty()) read.push_back(palette);
    const CRunInputs inputs(read);
    std::map<fs::path, std::string> taken;
    std::vector<SPageJob> jobs;
    for (const SPageJob& job : planned) {
        if (std::string clash = Clash(job, inputs, palette, taken); !clash.empty())
            clashes.push_back(std::move(clash));
        else
            jobs.push_back(job);
    }
    for (size_t i = 0; i < jobs.size(); ++i) {
        jobs[i].number = i + 1;
        jobs[i].count = jobs.size();
    }
    return jobs;
}

struct SBatchTally {
    size_t written = 0;
    size_t failures = 0;
    double megapixels = 0;
    std::vector<std::string> notWritten;  // pages stopped by an interruption
};

void Tally(const std::string& input, double megapixels, EPageResult result, SBatchTally& tally) {
    switch (result) {
        case EPageResult::Written:
            ++tally.written;
            tally.megapixels += megapixels;
            break;
        case EPageResult::Failed:
            ++tally.failures;
            break;
        case EPageResult::Interrupted:
            tally.notWritten.push_back(input);
            break;
    }
}

// Reports a page of the pipeline and counts it.
void Tally(SPageInFlight& page, CProgressDisplay& display, SBatchTally& tally) {
    const EPageResult result = ReportPage(page, display);
    Tally(page.job.input, page.megapixels, result, tally);
}

// Reading the next page while this one is flatted costs a third copy of a
// page; only where the memory clearly allows it.
bool RoomToReadAhead(const SPageInFlight& flatting) {
    const SRaster& r = flatting.raster;
    const uint64_t raw = r.RowBytes() * uint64_t(r.height);
    return MemoryAvailable() >= 2 * PageMemoryNeed(raw, r.Planes(), r.hasAlpha);
}

// What a page holds while it is flatted (its pixels and the plug-in's
// output), or while it waits to be written (its pixels); for a layered
// result, the page as read besides.
uint64_t HeldWhileFlatted(const SPageInFlight& page) {
    if (!page.GoesOn()) return 0;
    const SRaster& r = page.raster;
    const uint64_t raw = r.RowBytes() * uint64_t(r.height);
    return PageMemoryNeed(raw, r.Planes(), r.hasAlpha) + (page.job.layers != ELayeredFormat::None ? raw : 0);
}

uint64_t HeldWhileWritten(const SPageInFlight& page) {
    if (!page.GoesOn()) return 0;
    const uint64_t original = page.original.RowBytes() * uint64_t(page.original.height);
    return page.raster.RowBytes() * uint64_t(page.raster.height) + original;
}

// The pages in a pipeline: while the plug-in flats one page on this thread,
// another thread writes the page before it and then reads the page after
// it. At most three pages' pixels are held at once (the two copies of the
// page being flatted, and the one being written or read), and every page
// is reported, in order, once its last stage is done.
void RunPipeline(IPageFilter& filter, const std::vector<SPageJob>& jobs, const SCodecOptions& codec,
                 CProgressDisplay& display, SBatchTally& tally) {
    // The page before is written whole even after Ctrl-C: it is flatted
    // already, and the page being flatted stops within a strip anyway.
    SCodecOptions finishing = codec;
    finishing.heedInterrupt = false;
    SPageInFlight current = ReadPage(jobs.front(), codec);
    std::optional<SPageInFlight> flatted;  // the previous page, to be written
    for (size_t i = 0; i < jobs.size(); ++i) {
        const bool readAhead = i + 1 < jobs.size() && (!current.GoesOn() || RoomToReadAhead(current));
        SetMemoryHeldElsewhere(HeldWhileFlatted(current));
        std::optional<SPageInFlight> writing = std::move(flatted);
        flatted.reset();
        std::atomic<bool> written{false};
        auto writeAndRead = [&, i, readAhead] {
            if (writing) WritePage(*writing, finishing);
            written.store(true, std::memory_order_release);
            std::optional<SPageInFlight> read;
            if (readAhead) read = ReadPage(jobs[i + 1], codec);
            return read;
        };
        std::future<std::optional<SPageInFlight>> io;
        try {
            io = std::async(std::launch::async, writeAndRead);
        } catch (const std::system_error&) {
            // No thread to be had: the same work, after the flatting.
            io = std::async(std::launch::deferred, writeAndRead);
        }
        // The page before is reported as soon as it is written, and this
        // page's lines wait until then: pages overlap, their lines do not.
        bool reported = !writing;
        auto reportWritten = [&] {
            if (reported || !written.load(std::memory_order_acquire)) return;
            reported = true;
            Tally(*writing, display, tally);
            display.Release();
        };
        if (!reported) display.Hold(reportWritten);
        if (current.GoesOn()) display.Begin(PageLabel(current.job), EPageStage::Flatting);
        FilterPage(filter, current, display);
        std::optional<SPageInFlight> read = io.get();
        reportWritten();
        // Stopped: the page just flatted is not written; pages not begun
        // are not mentioned.
        if (InterruptRequested() && current.GoesOn()) current.interrupted = true;
        if (current.GoesOn())
            flatted = std::move(current);
        else
            Tally(current, display, tally);
        if (InterruptRequested()) return;
        if (i + 1 < jobs.size()) {
            // Read ahead, a page may not have fitted beside the one being
            // flatted; now that that one is done, it gets its chance.
            const bool crowded = read && read->failure.rfind(kNotEnoughMemory, 0) == 0;
            if (read && !crowded) {
                current = std::move(*read);
            } else {
                // Beside the page still to be written, or else after it.
                SetMemoryHeldElsewhere(flatted ? HeldWhileWritten(*flatted) : 0);
                current = ReadPage(jobs[i + 1], codec);
                if (flatted && current.failure.rfind(kNotEnoughMemory, 0) == 0) {
                    WritePage(*flatted, finishing);
                    Tally(*flatted, display, tally);
                    flatted.reset();
                    SetMemoryHeldElsewhere(0);
                    current = ReadPage(jobs[i + 1], codec);
                }
            }
        }
    }
    SetMemoryHeldElsewhere(0);
    if (flatted) {
        WritePage(*flatted, codec);
        Tally(*flatted, display, tally);
    }
}

int UsageError(const std::string& problem, bool autoflat) {
    std::cerr << "vandrel: " << problem << "\nRun 'vandrel " << (autoflat ? "autoflat" : "flat")
              << " --help' for the options.\n";
    return kExitUsage;
}

}  // namespace

int RunBatch(const SToolOptions& options) {
    const bool autoflat = options.command == ECommand::Autoflat;
    std::vector<std::string> companions;
    if (options.autoflat.hints == kEachPage) companions.push_back(kHintsSuffix);
    if (options.autoflat.like == kEachPage) companions.push_back(kFlatsSuffix);
    if (options.autoflat.regions == kEachPage) companions.push_back(kMapSuffix);
    const SInputList inputs = ListInputs(options.inputs, options.suffix, companions);
    const size_t named = inputs.pages.size() + inputs.problems.size();
    if (const std::string problem = CheckPageCount(options, named); !problem.empty())
        return UsageError(problem, autoflat);
    // A bad palette is the command's fault, not each page's: said once.
    std::vector<SPaletteColour> palette;
    if (autoflat && !options.autoflat.palette.empty()) {
        try {
            palette = ReadPaletteFile(options.autoflat.palette);
        } catch (const CImageError& e) {
            return UsageError("the palette " + QuotedName(options.autoflat.palette) + ": " + e.what(),
                              autoflat);
        }
    }
    std::unique_ptr<sim::CHostSimulator> host;
    try {
        if (!autoflat) host = LoadPlugin(options);
    } catch (const std::exception& e) {
        std::cerr << "vandrel: cannot load the plug-in: " << e.what() << std::endl;
        return kExitNotStarted;
    }
    // Outputs beside their inputs go to folders the pages are in already.
    std::optional<COutputFolder> folder;
    try {
        if (!options.outDir.empty())
            folder.emplace(options.outDir, true);
        else if (!options.output.empty())
            folder.emplace(fs::path(options.output).parent_path().string(), false);
    } catch (const CImageError& e) {
        std::cerr << "vandrel: " << e.what() << std::endl;
        return kExitNotStarted;
    }

    std::vector<std::string> clashes = inputs.problems;
    const std::vector<SPageJob> jobs = PlanJobs(options, inputs.pages, clashes);
    for (const std::string& clash : clashes) std::cerr << "vandrel: " << clash << std::endl;
    size_t failures = clashes.size();

    const Clock::time_point started = Clock::now();
    SCodecOptions codec;
    codec.smallest = options.smallest;
    // The plug-in's own count, VANDREL_PROCESSORS included, so that one
    // switch sets both the pass and the codecs.
    codec.threads = ProcessorCount(ReadPassSwitches().processors);
    // A layered flat keeps the page as read beside the one flatted.
    if (!autoflat && options.layers != ELayeredFormat::None)
        codec.pageNeed = [](uint32_t width, uint32_t height, int planes, bool hasAlpha) {
            const uint64_t raw = uint64_t(width) * height * uint64_t(planes);
            return PageMemoryNeed(raw, planes, hasAlpha) + raw;
        };
    CProgressDisplay display(ProgressStyleFor(stderr, options.quiet));
    SBatchTally tally;
    std::unique_ptr<IPageFilter> filter;
    if (autoflat)
        filter = std::make_unique<CAutoflatFilter>(options.autoflat, codec, palette);
    else
        filter = std::make_unique<CFlatFilter>(*host, options.settings);
    // Auto flats hold several times a page's pixels: one page at a time.
    if (autoflat || jobs.size() == 1) {
        for (const SPageJob& job : jobs) {
            double megapixels = 0;
            const EPageResult result = RunPage(*filter, job, codec, display, megapixels);
            Tally(job.input, megapixels, result, tally);
            if (InterruptRequested()) break;
        }
    } else if (!jobs.empty()) {
        RunPipeline(*filter, jobs, codec, display, tally);
    }
    if (tally.written == 0 && folder) folder->RemoveIfEmpty();
    if (!tally.notWritten.empty()) {
        display.Clear();
        for (const std::string& input : tally.notWritten)
            std::cerr << "vandrel: interrupted; " << QuotedName(input) << " was not written" << std::endl;
        return InterruptExitStatus();
    }
    failures += tally.failures;
    if (failures && named > 1)
        std::cerr << "vandrel: " << failures << " of " << named << " pages failed" << std::endl;
    if (tally.written > 1 && !options.quiet) {
        const double seconds = SecondsSince(started);
        std::fprintf(stderr, "vandrel: %zu pages, %.1f MP in %.2f s (%.1f MP/s)\n", tally.written,
                     tally.megapixels, seconds, tally.megapixels / std::max(seconds, 1e-6));
    }
    if (failures == 0 && WrittenListFailed()) return kExitListLost;
    return int(std::min<size_t>(failures, kExitMaxFailures));
}

}  // namespace cli
