#include "cli/Batch.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/PageJob.h"
#include "cli/Progress.h"
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

// Each input's output. Two inputs of the same name from different folders
// would land on one output: the later ones fail rather than overwrite it.
std::vector<SPageJob> PlanJobs(const SToolOptions& options, std::vector<std::string>& clashes) {
    std::vector<SPageJob> jobs;
    std::map<fs::path, std::string> taken;
    for (const std::string& input : options.inputs) {
        SPageJob job{input, options.output, options.overwrite};
        if (job.output.empty()) job.output = (fs::path(options.outDir) / fs::path(input).filename()).string();
        std::error_code error;
        const fs::path key = fs::weakly_canonical(job.output, error);
        const auto [at, fresh] = taken.emplace(error ? fs::path(job.output) : key, input);
        if (!fresh) {
            clashes.push_back(input + ": " + job.output + " is already the output of " + at->second);
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
    if (!options.outDir.empty()) {
        std::error_code error;
        fs::create_directories(options.outDir, error);
        if (error || !fs::is_directory(options.outDir)) {
            std::cerr << "vandrel: cannot use the folder " << options.outDir << ": "
                      << (error ? error.message() : "it is not a folder") << std::endl;
            return kExitNotStarted;
        }
    }

    std::vector<std::string> clashes;
    const std::vector<SPageJob> jobs = PlanJobs(options, clashes);
    for (const std::string& clash : clashes) std::cerr << "vandrel: " << clash << std::endl;
    size_t failures = clashes.size();

    CProgressDisplay display(ProgressStyleFor(stderr, options.quiet));
    for (const SPageJob& job : jobs) {
        const EPageResult result = FlatPage(*host, job, options.settings, display);
        if (result == EPageResult::Interrupted) {
            display.Clear();
            std::cerr << "vandrel: interrupted; " << job.input << " was not written" << std::endl;
            return InterruptExitStatus();
        }
        if (result == EPageResult::Failed) ++failures;
    }
    if (failures && options.inputs.size() > 1)
        std::cerr << "vandrel: " << failures << " of " << options.inputs.size() << " pages failed"
                  << std::endl;
    return int(std::min<size_t>(failures, kExitMaxFailures));
}

}  // namespace cli
