#include "cli/Batch.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "cli/ExitStatus.h"
#include "cli/ImageError.h"
#include "cli/Interrupt.h"
#include "cli/OutputFolder.h"
#include "cli/PageJob.h"
#include "cli/Progress.h"
#include "cli/WrittenList.h"
#include "host/ProcessorCount.h"
#include "sim/HostSimulator.h"
#include "ui/PrefsFolder.h"

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

fs::path Key(const std::string& path) {
    std::error_code error;
    const fs::path key = fs::weakly_canonical(path, error);
    return error ? fs::path(path) : key;
}

// Every input of the run, by identity (device and inode: any name, a link
// or a path through another folder) and, for inputs not there yet, by name.
class CRunInputs {
public:
    explicit CRunInputs(const std::vector<std::string>& inputs) {
        for (const std::string& input : inputs) {
            struct stat info {};
            if (::stat(input.c_str(), &info) == 0) byIdentity_.emplace(std::pair(info.st_dev, info.st_ino), input);
            byName_.emplace(Key(input), input);
        }
    }

    // The input that `output` is, or nullptr.
    const std::string* Find(const std::string& output) const {
        struct stat info {};
        if (::stat(output.c_str(), &info) == 0) {
            const auto at = byIdentity_.find(std::pair(info.st_dev, info.st_ino));
            if (at != byIdentity_.end()) return &at->second;
        }
        const auto at = byName_.find(Key(output));
        return at == byName_.end() ? nullptr : &at->second;
    }

private:
    std::map<std::pair<dev_t, ino_t>, std::string> byIdentity_;
    std::map<fs::path, std::string> byName_;
};

// Each input's output, decided before anything is written. Two inputs of
// the same name from different folders would land on one output: the later
// ones fail rather than overwrite it. No output may be an input of the
// run, not even with --overwrite.
std::vector<SPageJob> PlanJobs(const SToolOptions& options, std::vector<std::string>& clashes) {
    std::vector<SPageJob> jobs;
    std::map<fs::path, std::string> taken;
    const CRunInputs inputs(options.inputs);
    for (const std::string& input : options.inputs) {
        SPageJob job{input, options.output, options.overwrite};
        if (job.output.empty()) job.output = (fs::path(options.outDir) / fs::path(input).filename()).string();
        if (const std::string* same = inputs.Find(job.output)) {
            clashes.push_back(QuotedName(input) + ": the output " + QuotedName(job.output) +
                              (*same == input ? " is the input itself"
                                              : " is an input of this run (" + QuotedName(*same) + ")"));
            continue;
        }
        const auto [at, fresh] = taken.emplace(Key(job.output), input);
        if (!fresh) {
            clashes.push_back(QuotedName(input) + ": " + QuotedName(job.output) + " is already the output of " +
                              QuotedName(at->second));
            continue;
        }
        jobs.push_back(job);
    }
    return jobs;
}

}  // namespace

int RunBatch(const SToolOptions& options) {
    std::unique_ptr<sim::CHostSimulator> host;
    try {
        host = LoadPlugin(options);
    } catch (const std::exception& e) {
        std::cerr << "vandrel: cannot load the plug-in: " << e.what() << std::endl;
        return kExitNotStarted;
    }
    std::optional<COutputFolder> folder;
    try {
        if (options.outDir.empty())
            folder.emplace(fs::path(options.output).parent_path().string(), false);
        else
            folder.emplace(options.outDir, true);
    } catch (const CImageError& e) {
        std::cerr << "vandrel: " << e.what() << std::endl;
        return kExitNotStarted;
    }

    std::vector<std::string> clashes;
    const std::vector<SPageJob> jobs = PlanJobs(options, clashes);
    for (const std::string& clash : clashes) std::cerr << "vandrel: " << clash << std::endl;
    size_t failures = clashes.size();

    const auto started = std::chrono::steady_clock::now();
    SCodecOptions codec;
    codec.smallest = options.smallest;
    codec.threads = ProcessorCount();
    CProgressDisplay display(ProgressStyleFor(stderr, options.quiet));
    double megapixels = 0;
    size_t written = 0;
    for (const SPageJob& job : jobs) {
        const EPageResult result = FlatPage(*host, job, options.settings, codec, display);
        if (result == EPageResult::Interrupted) {
            display.Clear();
            std::cerr << "vandrel: interrupted; " << QuotedName(job.input) << " was not written" << std::endl;
            if (written == 0) folder->RemoveIfEmpty();
            return InterruptExitStatus();
        }
        if (result == EPageResult::Failed) ++failures;
        if (result == EPageResult::Written) {
            ++written;
            megapixels += display.LastMegapixels();
        }
    }
    if (written == 0) folder->RemoveIfEmpty();
    if (failures && options.inputs.size() > 1)
        std::cerr << "vandrel: " << failures << " of " << options.inputs.size() << " pages failed"
                  << std::endl;
    if (failures == 0 && WrittenListFailed()) return kExitListLost;
    if (written > 1 && !options.quiet) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(stderr, "vandrel: %zu pages, %.1f MP in %.2f s (%.1f MP/s)\n", written, megapixels, seconds,
                     megapixels / std::max(seconds, 1e-6));
    }
    return int(std::min<size_t>(failures, kExitMaxFailures));
}

}  // namespace cli
