#include "tests/engine/EngineTesting.h"

#include <algorithm>

namespace engine_testing {

void CRecordingPassHost::ReportProgress(int32_t done) { reports.push_back(done); }

bool CRecordingPassHost::TestAbort() {
    ++abortCalls;
    return abort && abort();
}

void CRecordingPassHost::AddRowsDone(int32_t rows) {
    std::lock_guard<std::mutex> hold(lock_);
    rowsDone_ += rows;
    added_.push_back(rows);
}

int32_t CRecordingPassHost::RowsDone() const {
    std::lock_guard<std::mutex> hold(lock_);
    return rowsDone_;
}

std::vector<int32_t> CRecordingPassHost::Added() const {
    std::lock_guard<std::mutex> hold(lock_);
    return added_;
}

sim::CHostImage RandomPage(std::mt19937& random, int width, int height, bool cmyk) {
    const int planes = cmyk ? 4 : 3;
    sim::CHostImage page(width, height, planes);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };

    // A few flat colour areas, as vertical or horizontal bands; colours sit
    // near the black limit now and then so the limit itself is exercised.
    std::vector<std::vector<uint8_t>> colours;
    for (int i = 0; i < 4; ++i) {
        std::vector<uint8_t> c(planes);
        for (auto& v : c) v = uint8_t(pick(0, 255));
        if (cmyk)
            c[3] = uint8_t(pick(0, 3) == 0 ? 60 : pick(60, 255));
        else if (pick(0, 3) == 0)
            c = {uint8_t(pick(0, 8)), uint8_t(pick(0, 8)), 9};
        else
            c[pick(0, 2)] = uint8_t(pick(9, 255));
        colours.push_back(c);
    }
    const bool vertical = pick(0, 1) == 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int band = (vertical ? x * 4 / width : y * 4 / height);
            for (int k = 0; k < planes; ++k) page.At(x, y, k) = colours[size_t(band)][size_t(k)];
        }

    auto paintBlack = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        for (int k = 0; k < planes; ++k) page.At(x, y, k) = uint8_t(cmyk ? pick(0, 255) : pick(0, 8));
        if (cmyk) page.At(x, y, 3) = uint8_t(pick(0, 59));
    };
    const int blobs = pick(0, 3);
    for (int i = 0; i < blobs; ++i) {
        const int cx = pick(0, width - 1), cy = pick(0, height - 1);
        const int r = pick(1, std::max(1, std::max(width, height) / 3));
        for (int y = cy - r; y <= cy + r; ++y)
            for (int x = cx - r; x <= cx + r; ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) paintBlack(x, y);
    }
    const int lines = pick(1, 5);
    for (int i = 0; i < lines; ++i) {
        const int x0 = pick(0, width - 1), y0 = pick(0, height - 1);
        const int x1 = pick(0, width - 1), y1 = pick(0, height - 1);
        const int thickness = pick(1, 3);
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1;
        for (int s = 0; s < steps; ++s) {
            const int x = x0 + (x1 - x0) * s / steps, y = y0 + (y1 - y0) * s / steps;
            for (int t = 0; t < thickness; ++t) paintBlack(x + (t % 2), y + (t / 2));
        }
    }
    return page;
}

}  // namespace engine_testing
