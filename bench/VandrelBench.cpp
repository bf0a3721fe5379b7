// Times the flatting pass of the real plug-in, driven through the host
// simulator, on generated A4 pages at 600 dpi. Each run is made in a child
// process of its own so that its peak memory is its own.
//
//   vandrel_bench [--page strokes|blobs|all] [--depth 10,256,300]
//                 [--threads 1,N] [--size WIDTHxHEIGHT]
#include <sys/resource.h>

#include <boost/thread/thread.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/BenchPages.h"
#include "bench/Measures.h"
#include "sim/HostSimulator.h"

namespace {

using bench::CpuSeconds;
using bench::Numbers;
using bench::ResetPeak;
using bench::StatusKb;
using Clock = std::chrono::steady_clock;

struct SOptions {
    std::vector<std::string> pages{"strokes", "blobs"};
    std::vector<int> depths{10, 256, 300};
    std::vector<int> threads;
    int width = bench::kA4Width;
    int height = bench::kA4Height;
};

bool Parse(int argc, char** argv, SOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--page" && hasValue) {
            const std::string page = argv[++i];
            options.pages =
                page == "all" ? std::vector<std::string>{"strokes", "blobs"} : std::vector<std::string>{page};
        } else if (arg == "--depth" && hasValue) {
            options.depths = Numbers(argv[++i]);
        } else if (arg == "--threads" && hasValue) {
            options.threads = Numbers(argv[++i]);
        } else if (arg == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &options.width, &options.height) != 2) return false;
        } else {
            return false;
        }
    }
    if (options.threads.empty()) {
        const int all = int(boost::thread::hardware_concurrency());
        options.threads = all > 1 ? std::vector<int>{1, all} : std::vector<int>{1};
    }
    return true;
}

struct SResult {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0;  // all threads of the pass together
    long passPeakKb = 0;    // growth of the peak over the size when the pass began
    long totalPeakKb = 0;
    double blackLeft = 0;
};

// In the child: one filter run, timed from the delivery of the pixels to the
// pass's last progress report.
SResult RunOnce(const sim::CHostImage& page, int depth, int threads) {
    sim::SImageSpec imageSpec;
    imageSpec.width = int16_t(page.Width());
    imageSpec.height = int16_t(page.Height());
    imageSpec.planes = 3;
    sim::CHostSimulator host;
    host.processors = threads;
    host.SetDocument(imageSpec, page);
    host.GiveSettings(depth, false);
    Clock::time_point delivered, lastReport;
    double cpuAtDelivery = 0, cpuAtLastReport = 0;
    long baseKb = 0;
    host.onDelivered = [&] {
        baseKb = ResetPeak() ? StatusKb("VmRSS:") : StatusKb("VmHWM:");
        cpuAtDelivery = CpuSeconds();
        delivered = Clock::now();
    };
    host.onProgress = [&] {
        lastReport = Clock::now();
        cpuAtLastReport = CpuSeconds();
    };

    SResult result;
    result.ok = host.RunFilter(false).Succeeded();
    result.seconds = std::chrono::duration<double>(lastReport - delivered).count();
    result.cpuSeconds = cpuAtLastReport - cpuAtDelivery;
    result.totalPeakKb = StatusKb("VmHWM:");
    result.passPeakKb = result.totalPeakKb - baseKb;
    result.blackLeft = bench::BlackFraction(host.Output());
    return result;
}

SResult RunInChild(const sim::CHostImage& page, int depth, int threads) {
    const std::string line = bench::InChild([&] {
        const SResult r = RunOnce(page, depth, threads);
        char text[256];
        std::snprintf(text, sizeof text, "%d %.6f %.6f %ld %ld %.6f\n", r.ok ? 1 : 0, r.seconds, r.cpuSeconds,
                      r.passPeakKb, r.totalPeakKb, r.blackLeft);
        return std::string(text);
    });
    SResult r;
    int ok = 0;
    if (std::sscanf(line.c_str(), "%d %lf %lf %ld %ld %lf", &ok, &r.seconds, &r.cpuSeconds, &r.passPeakKb,
                    &r.totalPeakKb, &r.blackLeft) == 6)
        r.ok = ok == 1;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    SOptions options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: vandrel_bench [--page strokes|blobs|all] [--depth 10,256,300] [--threads 1,N] "
                     "[--size WIDTHxHEIGHT]\n");
        return 2;
    }
    std::printf("plug-in %s, %u hardware threads\n", sim::DefaultPluginPath().c_str(),
                boost::thread::hardware_concurrency());

    const double megapixels = double(options.width) * options.height / 1e6;
    for (const std::string& name : options.pages) {
        const auto made = Clock::now();
        sim::CHostImage page = bench::StrokesPage(options.width, options.height, 0x5EED);
        if (name == "blobs") bench::AddBlackBlobs(page, 0.30, 0xB10B);
        std::printf("\npage %s: %dx%d (%.1f MP), %.1f%% black, made in %.1f s\n", name.c_str(), options.width,
                    options.height, megapixels, 100 * bench::BlackFraction(page),
                    std::chrono::duration<double>(Clock::now() - made).count());
        std::printf("%6s %8s %10s %8s %9s %8s %13s %12s %12s\n", "depth", "threads", "seconds", "MP/s",
                    "speed-up", "CPU s", "pass peak MiB", "peak MiB", "black left");
        std::fflush(stdout);

        for (int depth : options.depths) {
            std::map<int, double> secondsByThreads;
            for (int threads : options.threads) {
                const SResult r = RunInChild(page, depth, threads);
                if (!r.ok) {
                    std::printf("%6d %8d   failed\n", depth, threads);
                    continue;
                }
                secondsByThreads[threads] = r.seconds;
                const auto single = secondsByThreads.find(1);
                char speedUp[32] = "";
                if (single != secondsByThreads.end() && r.seconds > 0)
                    std::snprintf(speedUp, sizeof speedUp, "%.2fx", single->second / r.seconds);
                std::printf("%6d %8d %10.2f %8.2f %9s %8.2f %13.1f %12.1f %11.1f%%\n", depth, threads,
                            r.seconds, megapixels / r.seconds, speedUp, r.cpuSeconds, r.passPeakKb / 1024.0,
                            r.totalPeakKb / 1024.0, 100 * r.blackLeft);
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
