// Vandrel Auto Flats inside a host against the library alone on the same
// page in one run: what the filter adds to what `vandrel autoflat` does
// (the layout copy in and out of the host's buffers), in time and memory.
// Each measure runs in a child process of its own, so peaks do not mix.
//
//   vandrel_autoflats_filter_bench [--size WxH] [--gap N]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "bench/Measures.h"
#include "sim/HostSimulator.h"
#include "resources/AutoFlatsCodes.h"

namespace {

// Panels of boxes and rings with a few gaps, black on white, RGB.
sim::CHostImage DrawnPage(int width, int height) {
    sim::CHostImage page(width, height, 3);
    std::memset(page.Bytes().data(), 255, page.Bytes().size());
    auto ink = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        for (int p = 0; p < 3; ++p) page.At(x, y, p) = 0;
    };
    const int cell = std::max(40, width / 24);
    for (int top = 0; top + cell <= height; top += cell)
        for (int left = 0; left + cell <= width; left += cell) {
            const int stroke = 2 + (left / cell + top / cell) % 4;
            const int gap = (left / cell) % 5 == 0 ? cell / 20 : 0;
            for (int t = 0; t < stroke; ++t)
                for (int i = 0; i < cell; ++i) {
                    ink(left + i, top + t);
                    if (i < cell / 2 - gap || i > cell / 2 + gap) ink(left + t, top + i);
                }
            const double cx = left + cell / 2.0, cy = top + cell / 2.0, r = cell / 4.0;
            for (int y = int(cy - r - stroke); y <= int(cy + r + stroke); ++y)
                for (int x = int(cx - r - stroke); x <= int(cx + r + stroke); ++x)
                    if (std::abs(std::hypot(x - cx, y - cy) - r) < stroke / 2.0) ink(x, y);
        }
    return page;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string Figures(double wall, double cpu) {
    char line[160];
    std::snprintf(line, sizeof line, "%8.2f s wall %8.2f s CPU %8ld MB peak", wall, cpu,
                  bench::StatusKb("VmHWM:") / 1024);
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    int width = 4960, height = 7016, gap = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--size")) std::sscanf(argv[i + 1], "%dx%d", &width, &height);
        if (!std::strcmp(argv[i], "--gap")) gap = std::atoi(argv[i + 1]);
    }
    std::printf("page %dx%d, gap %d\n", width, height, gap);

    const std::string library = bench::InChild([&] {
        const sim::CHostImage page = DrawnPage(width, height);
        bench::ResetPeak();
        const double cpu0 = bench::CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        autoflat::SPageView view;
        view.pixels = page.Bytes().data();
        view.width = width;
        view.height = height;
        view.kind = autoflat::EPageKind::Rgb;
        autoflat::SAutoFlatSettings settings;
        settings.gap = gap;
        const autoflat::SAutoFlatResult result = autoflat::AutoFlat(view, nullptr, settings);
        if (result.status != autoflat::EAutoFlatStatus::Ok) return std::string("failed: ") + result.message;
        return Figures(Seconds(start), bench::CpuSeconds() - cpu0);
    });
    std::printf("library (as vandrel autoflat)  %s\n", library.c_str());

    const std::string filter = bench::InChild([&] {
        sim::CHostSimulator host(sim::DefaultAutoFlatsPluginPath());
        sim::CHostImage page = DrawnPage(width, height);
        sim::SImageSpec spec;
        spec.width = int16_t(width);
        spec.height = int16_t(height);
        host.SetDocument(spec, std::move(page));
        host.Descriptors().Give({sim::SDescriptorItem::Integer(kKeyMaxGap, gap)});
        bench::ResetPeak();
        const double cpu0 = bench::CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const sim::SRunResult run = host.RunFilter(false);
        if (!run.Succeeded()) return std::string("failed: ") + std::to_string(run.result);
        return Figures(Seconds(start), bench::CpuSeconds() - cpu0);
    });
    std::printf("filter in the simulated host   %s\n", filter.c_str());
    std::printf(
        "(both hold the page read and the library's flats; the host also holds its output\n"
        " buffer, one page more, which the filter fills from the flats)\n");
    return library.empty() || filter.empty() ? 1 : 0;
}
