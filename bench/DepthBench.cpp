// CPU time of the engine's pass on mostly black pages at large depths, and
// how much more it costs than the same page at depth 10. Each run is made in
// a child process of its own, single-threaded (as the web page runs it), and
// given a CPU limit beyond which it is reported as "over".
//
//   vandrel_depth_bench [--table] [--method fast|search|both] [--limit SECONDS]
//   vandrel_depth_bench --search N [--seed S] [--max-side PIXELS] [--limit SECONDS]
//   vandrel_depth_bench --page LAYOUT --size WxH --depth D [--seed S] [--method ...]
//
// --table times the pages listed below; --search draws N pages of random
// layout, size around twice a random depth, and reports the worst ratio of
// their time at that depth to their time at depth 10. Both time a page and
// its depth 10 in three rounds and keep the lowest of each.
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "bench/BenchPages.h"
#include "bench/DepthPages.h"
#include "bench/Measures.h"
#include "engine/FlatPass.h"

namespace {

using bench::EDepthLayout;

struct SOptions {
    bool table = true;
    int searches = 0;
    uint64_t seed = 1;
    int maxSide = 1200;
    double limit = 120;
    std::string method = "fast";
    int page = -1;  // a layout: time that one page
    int width = 0, height = 0, depth = 0;
};

int LayoutNamed(const std::string& name) {
    for (int i = 0; i < bench::kDepthLayouts; ++i) {
        std::string own = bench::LayoutName(bench::EDepthLayout(i));
        std::replace(own.begin(), own.end(), ' ', '-');
        if (own == name) return i;
    }
    return -1;
}

bool Parse(int argc, char** argv, SOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--table") {
            options.table = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        if (arg == "--search") {
            options.searches = std::stoi(value);
            options.table = false;
        } else if (arg == "--seed") {
            options.seed = std::stoull(value);
        } else if (arg == "--max-side") {
            options.maxSide = std::clamp(std::stoi(value), 1, 32767);
        } else if (arg == "--limit") {
            options.limit = std::stod(value);
        } else if (arg == "--page") {
            options.page = LayoutNamed(value);
            options.table = false;
            if (options.page < 0) return false;
        } else if (arg == "--size") {
            if (std::sscanf(value.c_str(), "%dx%d", &options.width, &options.height) != 2) return false;
        } else if (arg == "--depth") {
            options.depth = std::stoi(value);
        } else if (arg == "--method" && (value == "fast" || value == "search" || value == "both")) {
            options.method = value;
        } else {
            return false;
        }
    }
    if (options.page >= 0 &&
        (options.width < 1 || options.height < 1 || options.depth < 0 || options.depth > 65535))
        return false;
    return options.limit > 0;
}

class CQuietHost : public CPassHost {
public:
    void ReportProgress(int32_t) override {}
    bool TestAbort() override { return false; }
    void AddRowsDone(int32_t rows) override { done_ += rows; }
    int32_t RowsDone() const override { return done_; }

private:
    int32_t done_ = 0;
};

double ThreadCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct SRun {
    bool ok = false;  // false: over the limit, or failed
    double cpu = 0;   // seconds, the mean of the repeats
    uint64_t checksum = 0;
};

// Small pages are flatted again until a fifth of a second has passed, so
// that their figure is not lost in the clock's resolution.
SRun Measure(const sim::CHostImage& page, int depth, EFlatMethod method, double limit) {
    const std::string line = bench::InChild([&] {
        const rlimit cpuLimit{rlim_t(std::ceil(limit)), rlim_t(std::ceil(limit)) + 1};
        setrlimit(RLIMIT_CPU, &cpuLimit);
        std::vector<uint8_t> out(page.Bytes().begin(), page.Bytes().end());
        const SFlatImage image = bench::PackedRgbImage(page, out.data());
        const SPassSettings settings{uint16_t(depth), false, method};
        // The mean, not the quickest: the process clock may tick coarsely.
        double total = 0;
        int runs = 0;
        for (; runs < 200 && (runs == 0 || total < 0.2); ++runs) {
            std::copy(page.Bytes().begin(), page.Bytes().end(), out.begin());
            CPixelDistance search;
            search.maxRings = settings.maxDepth;
            CQuietHost host;
            const double start = ThreadCpu();
            RunFlatPass(image, search, settings, host, 1);
            total += ThreadCpu() - start;
        }
        const double best = total / runs;
        uint64_t checksum = 1469598103934665603ull;
        for (uint8_t b : out) checksum = (checksum ^ b) * 1099511628211ull;
        char text[96];
        std::snprintf(text, sizeof text, "%.6f %llu\n", best, (unsigned long long)checksum);
        return std::string(text);
    });
    SRun run;
    unsigned long long checksum = 0;
    run.ok = std::sscanf(line.c_str(), "%lf %llu", &run.cpu, &checksum) == 2;
    run.checksum = checksum;
    return run;
}

// A page at its depth and at depth 10, three rounds of one after the other,
// each figure the lowest of its rounds: the machine's own noise (another
// process, the clock's speed) only ever adds time, and a ratio of two
// single runs moved by a tenth either way on a busy machine.
struct SPair {
    SRun deep, shallow;
};
SPair MeasureAgainstDepth10(const sim::CHostImage& page, int depth, double limit) {
    SPair best;
    for (int round = 0; round < 3; ++round) {
        const SRun deep = Measure(page, depth, EFlatMethod::DistanceAssisted, limit);
        const SRun shallow = Measure(page, 10, EFlatMethod::DistanceAssisted, limit);
        if (round == 0 || (deep.ok && (!best.deep.ok || deep.cpu < best.deep.cpu))) best.deep = deep;
        if (round == 0 || (shallow.ok && (!best.shallow.ok || shallow.cpu < best.shallow.cpu)))
            best.shallow = shallow;
        // A page over the limit once is over it: no more rounds of it.
        if (!deep.ok) break;
    }
    return best;
}

std::string Seconds(const SRun& run, double limit) {
    char text[32];
    if (run.ok)
        std::snprintf(text, sizeof text, "%.5f", run.cpu);
    else
        std::snprintf(text, sizeof text, "over %.0f", limit);
    return text;
}

struct SPage {
    const char* name;
    EDepthLayout layout;
    int width, height, depth;
};

// The pages that once took from seconds to minutes, and two that never did.
const SPage kTable[] = {
    {"300x300, all black", EDepthLayout::AllBlack, 300, 300, 300},
    {"400x400, all black", EDepthLayout::AllBlack, 400, 400, 300},
    {"400x400, one colour pixel at a corner", EDepthLayout::CornerPixel, 400, 400, 300},
    {"1000x1000, all black", EDepthLayout::AllBlack, 1000, 1000, 3000},
    {"600x600, colour near one corner", EDepthLayout::NearCorner, 600, 600, 65535},
    {"2400x2400, colour in the last column", EDepthLayout::LastColumn, 2400, 2400, 2000},
    {"600x600, all black", EDepthLayout::AllBlack, 600, 600, 300},
    {"2400x2400, colour in one row", EDepthLayout::OneRow, 2400, 2400, 65535},
};

int RunTable(const SOptions& options) {
    std::printf("%-40s %6s %12s %12s %8s %12s %s\n", "page", "depth", "CPU s", "depth 10 s", "ratio",
                "search s", "same output");
    int mismatches = 0;
    for (const SPage& p : kTable) {
        const sim::CHostImage page = bench::DepthPage(p.layout, p.width, p.height, 25);
        SRun fast, shallow, search;
        const bool runFast = options.method != "search", runSearch = options.method != "fast";
        if (runFast) {
            const SPair pair = MeasureAgainstDepth10(page, p.depth, options.limit);
            fast = pair.deep;
            shallow = pair.shallow;
        }
        if (runSearch) search = Measure(page, p.depth, EFlatMethod::Search, options.limit);
        char ratio[32] = "-", same[8] = "-";
        if (fast.ok && shallow.ok) std::snprintf(ratio, sizeof ratio, "%.1f", fast.cpu / shallow.cpu);
        if (fast.ok && search.ok) {
            std::snprintf(same, sizeof same, "%s", fast.checksum == search.checksum ? "yes" : "NO");
            mismatches += fast.checksum != search.checksum;
        }
        std::printf("%-40s %6d %12s %12s %8s %12s %s\n", p.name, p.depth,
                    runFast ? Seconds(fast, options.limit).c_str() : "-",
                    runFast ? Seconds(shallow, options.limit).c_str() : "-", ratio,
                    runSearch ? Seconds(search, options.limit).c_str() : "-", same);
        std::fflush(stdout);
    }
    return mismatches ? 1 : 0;
}

int RunSearch(const SOptions& options) {
    uint64_t state = options.seed;
    auto next = [&] {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    };
    auto uniform = [&] { return double(next() >> 11) / double(uint64_t(1) << 53); };
    struct SFound {
        double ratio;
        std::string text;
    };
    std::vector<SFound> found;
    std::printf("%-14s %11s %6s %10s %10s %8s %20s\n", "layout", "size", "depth", "CPU s", "depth 10 s",
                "ratio", "page seed");
    for (int i = 0; i < options.searches; ++i) {
        // Depths spread evenly on a log scale from 11 to 65535; sizes around
        // twice the depth, each side on its own, within the largest side.
        const int depth = std::min(65535, int(std::exp(std::log(11.0) + uniform() * std::log(65535.0 / 11))));
        auto side = [&] {
            return std::clamp(int(std::lround(2.0 * depth * (0.6 + 0.8 * uniform()))), 1, options.maxSide);
        };
        const int width = side(), height = side();
        const auto layout = EDepthLayout(next() % bench::kDepthLayouts);
        // Printed, so that --page can make the same page again.
        const uint64_t pageSeed = next();
        const sim::CHostImage page = bench::DepthPage(layout, width, height, pageSeed);
        const auto [deep, shallow] = MeasureAgainstDepth10(page, depth, options.limit);
        char size[32], text[160];
        std::snprintf(size, sizeof size, "%dx%d", width, height);
        const double ratio = deep.ok && shallow.ok ? deep.cpu / shallow.cpu : INFINITY;
        std::snprintf(text, sizeof text, "%-14s %11s %6d %10s %10s %8.1f %20llu", bench::LayoutName(layout),
                      size, depth, Seconds(deep, options.limit).c_str(),
                      Seconds(shallow, options.limit).c_str(), ratio, (unsigned long long)pageSeed);
        std::printf("%s\n", text);
        std::fflush(stdout);
        found.push_back({ratio, text});
    }
    std::sort(found.begin(), found.end(), [](const SFound& a, const SFound& b) { return a.ratio > b.ratio; });
    std::printf("\nworst ratios to depth 10:\n");
    for (size_t i = 0; i < std::min<size_t>(5, found.size()); ++i) std::printf("%s\n", found[i].text.c_str());
    return 0;
}

// One page, for profiling: the pass runs in this process.
int RunPage(const SOptions& options) {
    const sim::CHostImage page =
        bench::DepthPage(bench::EDepthLayout(options.page), options.width, options.height, options.seed);
    std::vector<uint8_t> out(page.Bytes().begin(), page.Bytes().end());
    const SFlatImage image = bench::PackedRgbImage(page, out.data());
    const SPassSettings settings{
        uint16_t(options.depth), false,
        options.method == "search" ? EFlatMethod::Search : EFlatMethod::DistanceAssisted};
    CPixelDistance search;
    search.maxRings = settings.maxDepth;
    CQuietHost host;
    const double start = ThreadCpu();
    RunFlatPass(image, search, settings, host, 1);
    uint64_t checksum = 1469598103934665603ull;
    for (uint8_t b : out) checksum = (checksum ^ b) * 1099511628211ull;
    std::printf("%.5f s CPU, checksum %016llx\n", ThreadCpu() - start, (unsigned long long)checksum);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    SOptions options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(
            stderr,
            "usage: vandrel_depth_bench [--table] [--method fast|search|both] [--limit SECONDS]\n"
            "       vandrel_depth_bench --search N [--seed S] [--max-side PIXELS] [--limit SECONDS]\n"
            "       vandrel_depth_bench --page all-black|corner-pixel|near-a-corner|last-column|one-row|"
            "one-column|sparse --size WxH --depth D [--seed S] [--method fast|search]\n");
        return 2;
    }
    if (options.page >= 0) return RunPage(options);
    return options.table ? RunTable(options) : RunSearch(options);
}
