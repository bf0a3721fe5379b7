// Auto flats on a drawn page: circles whose outlines stop short by 0 to twice
// the gap, in panels, with hatching, open speed lines and spot blacks; prints
// time, memory, leaks and the closest touching colours. With --page, a
// grayscale PNG drawing instead (no leaks counted). Each stage's wall and
// processor time stand beside its floor, the bytes it moves at the speed a
// plain copy reaches on this machine.
//
//   vandrel_autoflat_bench [--size WxH] [--workers N] [--aliased] [--page FILE.png]
//                          [--without edge,strips,counters,texture]
// --without turns the named background rules off, to measure what each costs.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <png.h>
#include <string>
#include <vector>

#include "autoflat/AutoColours.h"
#include "autoflat/AutoFlats.h"
#include "autoflat/SmallRegions.h"
#include "bench/Measures.h"
#include "bench/StageFloors.h"

namespace {

struct SCircle {
    double cx, cy, radius, stroke;
    int gap;
};

class CPage {
public:
    CPage(int w, int h, bool aliased) : w_(w), h_(h), aliased_(aliased), gray_(size_t(w) * h, 255) {}

    // Ink of coverage 0..1 at a pixel, darkest wins.
    void Ink(int x, int y, double coverage) {
        if (x < 0 || y < 0 || x >= w_ || y >= h_ || coverage <= 0) return;
        if (aliased_) coverage = coverage >= 0.5 ? 1 : 0;
        const uint8_t value = uint8_t(std::lround(255 * (1 - std::min(coverage, 1.0))));
        uint8_t& p = gray_[size_t(y) * w_ + x];
        p = std::min(p, value);
    }

    // A segment of the given width, ends cut square.
    void Line(double x0, double y0, double x1, double y1, double width) {
        const double dx = x1 - x0, dy = y1 - y0, length = std::hypot(dx, dy);
        if (length == 0) return;
        const double ux = dx / length, uy = dy / length;
        const int xa = int(std::min(x0, x1) - width - 2), xb = int(std::max(x0, x1) + width + 2);
        const int ya = int(std::min(y0, y1) - width - 2), yb = int(std::max(y0, y1) + width + 2);
        for (int y = std::max(ya, 0); y <= std::min(yb, h_ - 1); ++y)
            for (int x = std::max(xa, 0); x <= std::min(xb, w_ - 1); ++x) {
                const double px = x - x0, py = y - y0;
                const double along = px * ux + py * uy, across = std::abs(-px * uy + py * ux);
                const double c = std::min({width / 2 + 0.5 - across, along + 0.5, length - along + 0.5});
                Ink(x, y, c);
            }
    }

    // A ring with a gap of `gap` pixels between the stroke's cut ends,
    // centred at the top.
    void Ring(const SCircle& c) {
        const double halfGapAngle = c.gap > 0 ? std::asin(std::min(1.0, (c.gap / 2.0) / c.radius)) : -1;
        const int r = int(c.radius + c.stroke + 2);
        for (int y = int(c.cy) - r; y <= int(c.cy) + r; ++y)
            for (int x = int(c.cx) - r; x <= int(c.cx) + r; ++x) {
                const double px = x - c.cx, py = y - c.cy;
                double coverage = c.stroke / 2 + 0.5 - std::abs(std::hypot(px, py) - c.radius);
                if (coverage <= 0) continue;
                if (c.gap > 0 && py < 0) {
                    // Square cut: the distance across the gap's centre line.
                    const double off = std::abs(px) - c.gap / 2.0;
                    if (std::abs(std::atan2(px, -py)) < halfGapAngle + 0.5)
                        coverage = std::min(coverage, off + 0.5);
                }
                Ink(x, y, coverage);
            }
    }

    void Disc(double cx, double cy, double rx, double ry) {
        for (int y = int(cy - ry - 2); y <= int(cy + ry + 2); ++y)
            for (int x = int(cx - rx - 2); x <= int(cx + rx + 2); ++x) {
                const double d = std::hypot((x - cx) / rx, (y - cy) / ry);
                Ink(x, y, (1 - d) * std::min(rx, ry) + 0.5);
            }
    }

    int w_, h_;
    bool aliased_;
    std::vector<uint8_t> gray_;
};

struct SDrawn {
    std::vector<SCircle> circles;
    std::vector<std::pair<int, int>> spots;
    int panels = 0;
};

SDrawn Draw(CPage& page, int gap) {
    SDrawn drawn;
    const int cols = 3, rows = 4;
    const double margin = page.w_ * 0.03;
    const double pw = (page.w_ - margin * (cols + 1)) / cols, ph = (page.h_ - margin * (rows + 1)) / rows;
    int ladder = 0;
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < cols; ++col) {
            const double x0 = margin + col * (pw + margin), y0 = margin + row * (ph + margin);
            const double border = std::max(4.0, gap / 2.0);
            page.Line(x0, y0, x0 + pw, y0, border);
            page.Line(x0 + pw, y0, x0 + pw, y0 + ph, border);
            page.Line(x0 + pw, y0 + ph, x0, y0 + ph, border);
            page.Line(x0, y0 + ph, x0, y0, border);
            ++drawn.panels;
            const double radius = std::min(pw, ph) / 10;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) {
                    SCircle c{x0 + pw * (0.2 + 0.3 * j), y0 + ph * (0.15 + 0.25 * i), radius,
                              double(std::array{3, 6, 12}[size_t((i + j) % 3)]), ladder % (2 * gap + 1)};
                    ladder += 3;
                    page.Ring(c);
                    drawn.circles.push_back(c);
                }
            // Hatching in a corner, speed lines along the bottom, a spot black.
            for (int k = 0; k < 12; ++k)
                page.Line(x0 + pw * 0.05 + k * 7, y0 + ph * 0.78, x0 + pw * 0.05 + k * 7 + 40,
                          y0 + ph * 0.78 + 90, 2);
            for (int k = 0; k < 10; ++k)
                page.Line(x0 + pw * 0.3, y0 + ph * 0.8 + k * 12, x0 + pw * 0.7, y0 + ph * 0.8 + k * 12, 3);
            const double sx = x0 + pw * 0.85, sy = y0 + ph * 0.88;
            page.Disc(sx, sy, pw * 0.06, ph * 0.05);
            drawn.spots.push_back({int(sx), int(sy)});
        }
    return drawn;
}

// Each stage's wall and processor time, and the longest the caller heard
// nothing: the progress promised every few milliseconds of work.
class CStageClock {
public:
    CStageClock()
        : stageStart_(std::chrono::steady_clock::now()), last_(stageStart_), stageCpu_(bench::CpuSeconds()) {}
    bool Heard(const char* name) {
        const auto now = std::chrono::steady_clock::now();
        longestSilence = std::max(longestSilence, std::chrono::duration<double>(now - last_).count());
        last_ = now;
        if (stage_ == name) return true;
        const double cpuNow = bench::CpuSeconds();
        char line[128];
        const double wall = std::chrono::duration<double>(now - stageStart_).count();
        const double floor = bench::StageBytesPerPixel(stage_) * pixels / bandwidth;
        std::snprintf(line, sizeof line,
                      "  %-24s %6.3f s wall %6.3f s cpu   floor %6.3f s   peak %4.0f MiB\n", stage_.c_str(),
                      wall, cpuNow - stageCpu_, floor, bench::StatusKb("VmHWM:") / 1024.0);
        stages += line;
        floorSum += floor;
        stage_ = name;
        stageStart_ = now;
        stageCpu_ = cpuNow;
        return true;
    }
    std::string stages;
    double pixels = 0, bandwidth = 1, floorSum = 0;
    double longestSilence = 0;

private:
    std::string stage_ = "start";
    std::chrono::steady_clock::time_point stageStart_, last_;
    double stageCpu_;
};

// A grayscale PNG drawing as the page's gray samples.
bool LoadPng(const char* path, int& width, int& height, std::vector<uint8_t>& gray) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return false;
    image.format = PNG_FORMAT_GRAY;
    width = int(image.width);
    height = int(image.height);
    gray.resize(size_t(width) * size_t(height));
    const bool ok = png_image_finish_read(&image, nullptr, gray.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

// What the drawn page's circles and spot blacks came out as.
void ReportDrawn(const SDrawn& drawn, const autoflat::SAutoFlatResult& result, int width, int gap) {
    auto label = [&](double x, double y) { return result.labels[size_t(int(y)) * width + size_t(int(x))]; };
    int leaks = 0, allowedLeaks = 0, closedWithin = 0;
    for (const SCircle& c : drawn.circles) {
        const bool leaked = label(c.cx, c.cy) == label(c.cx, c.cy - c.radius - c.stroke - gap - 8);
        if (c.gap <= gap) {
            leaks += leaked;
            closedWithin += !leaked;
        } else {
            allowedLeaks += leaked;
        }
    }
    int spotsKept = 0;
    for (const auto& [x, y] : drawn.spots) spotsKept += result.regions[label(x, y)].spotBlack;
    std::printf(
        "regions %zu; circles %zu: gaps <= %d closed %d, leaked %d; wider gaps leaked %d; spot blacks "
        "%d/%zu\n",
        result.regions.size(), drawn.circles.size(), gap, closedWithin, leaks, allowedLeaks, spotsKept,
        drawn.spots.size());
}

}  // namespace

int main(int argc, char** argv) {
    int width = 7000, height = 10000, workers = 2, paletteSize = 0;
    bool aliased = false;
    const char* file = nullptr;
    std::string without;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            std::sscanf(argv[++i], "%dx%d", &width, &height);
        } else if (arg == "--workers" && i + 1 < argc) {
            workers = std::atoi(argv[++i]);
        } else if (arg == "--palette" && i + 1 < argc) {
            paletteSize = std::atoi(argv[++i]);
        } else if (arg == "--aliased") {
            aliased = true;
        } else if (arg == "--page" && i + 1 < argc) {
            file = argv[++i];
        } else if (arg == "--without" && i + 1 < argc) {
            without = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--size WxH] [--workers N] [--palette COLOURS] [--aliased] [--page "
                         "FILE.png] [--without RULES]\n",
                         argv[0]);
            return 2;
        }
    }
    std::vector<uint8_t> drawing;
    if (file && !LoadPng(file, width, height, drawing)) {
        std::fprintf(stderr, "cannot read %s as a PNG\n", file);
        return 1;
    }
    const int gap = autoflat::DefaultGap(width, height, 0);
    CPage page(file ? 1 : width, file ? 1 : height, aliased);
    const SDrawn drawn = file ? SDrawn{} : Draw(page, gap);

    autoflat::SPageView view;
    view.pixels = file ? drawing.data() : page.gray_.data();
    view.width = width;
    view.height = height;
    view.kind = autoflat::EPageKind::Gray;
    autoflat::SAutoFlatSettings settings;
    settings.workers = workers;
    settings.pageEdgeIsLine = without.find("edge") != std::string::npos;
    settings.joinStrips = without.find("strips") == std::string::npos;
    settings.foldCounters = without.find("counters") == std::string::npos;
    settings.textureClosesGaps = without.find("texture") != std::string::npos;
    // A palette of many colours, spread evenly over the cube: the choice of
    // colours region by region must not grow with its square.
    for (int i = 0; i < paletteSize; ++i)
        settings.palette.push_back({{uint8_t(i * 97), uint8_t(i * 61 / 7), uint8_t(i * 37 / 53), 0}});

    const double bandwidth = bench::CopyBandwidth();
    const long before = bench::StatusKb("VmRSS:");
    bench::ResetPeak();
    const double cpu0 = bench::CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    CStageClock clock;
    clock.pixels = double(width) * height;
    clock.bandwidth = bandwidth;
    const autoflat::SAutoFlatResult result = autoflat::AutoFlat(
        view, nullptr, settings, [&](double, const char* name) { return clock.Heard(name); });
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = bench::CpuSeconds() - cpu0;
    if (result.status != autoflat::EAutoFlatStatus::Ok) {
        std::printf("failed: %s\n", result.message.c_str());
        return 1;
    }

    double closest = 1e9;
    const auto borders = autoflat::Borders(result.labels.data(), width, height, 0, 1);
    for (const auto& b : borders) {
        if (result.regions[b.a].fromHint && result.regions[b.b].fromHint) continue;
        closest = std::min(closest, autoflat::DeltaE2000(autoflat::LabOf(result.regions[b.a].colour, false),
                                                         autoflat::LabOf(result.regions[b.b].colour, false)));
    }
    std::printf("page %dx%d %s, gap %d, min region %lld, melt depth %u, workers %d\n", width, height,
                file      ? file
                : aliased ? "aliased"
                          : "anti-aliased",
                result.gap, (long long)result.minRegion, result.meltDepth, workers);
    std::printf("wall %.2f s, cpu %.2f s, peak %.0f MiB (page and process before: %.0f MiB)\n", wall, cpu,
                bench::StatusKb("VmHWM:") / 1024.0, before / 1024.0);
    if (!file) ReportDrawn(drawn, result, width, gap);
    std::printf("stages (floor: bytes moved at %.1f GB/s, a copy's speed here):\n%s", bandwidth / 1e9,
                clock.stages.c_str());
    std::printf("  %-24s %6.3f s wall %6.3f s cpu   floor %6.3f s\n", "all", wall, cpu, clock.floorSum);
    // Runs before and after a change must agree on every byte.
    uint64_t hash = 14695981039346656037ull;
    for (const uint8_t byte : result.flats) hash = (hash ^ byte) * 1099511628211ull;
    for (const uint32_t label : result.labels) hash = (hash ^ label) * 1099511628211ull;
    std::printf("flats and labels: FNV-1a %016llx\n", (unsigned long long)hash);
    std::printf("longest without progress: %.3f s\n", clock.longestSilence);
    std::printf("closest touching automatic colours: CIEDE2000 %.1f\n", closest);
    return 0;
}
