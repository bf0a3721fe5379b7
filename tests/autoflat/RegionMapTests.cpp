// The label map's building blocks against plain references, on every worker
// count: the exact distances, the components in order of first appearance,
// and the growth into open pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <random>
#include <vector>

#include "autoflat/DistanceTransform.h"
#include "autoflat/RegionLabels.h"

using namespace autoflat;

namespace {

struct SMap {
    int32_t width, height;
    std::vector<uint32_t> labels;
};

// Sizes that catch the edges of the parts: one row or column, fewer rows
// or columns than workers, odd sizes, and a few larger than a part's grain.
const int32_t kSizes[][2] = {{1, 1}, {1, 37}, {37, 1}, {2, 3}, {17, 5}, {64, 129}, {131, 70}, {300, 200}};

// kLine with probability `lines`, else kOpen.
SMap RandomMap(int32_t width, int32_t height, double lines, unsigned seed) {
    std::mt19937 random(seed);
    std::bernoulli_distribution line(lines);
    SMap map{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
    for (uint32_t& value : map.labels) value = line(random) ? kLine : kOpen;
    return map;
}

std::vector<uint32_t> BruteDistances(const SMap& map, uint32_t label, bool invert) {
    std::vector<uint32_t> out(map.labels.size(), kFarAway);
    for (int64_t y = 0; y < map.height; ++y)
        for (int64_t x = 0; x < map.width; ++x)
            for (int64_t sy = 0; sy < map.height; ++sy)
                for (int64_t sx = 0; sx < map.width; ++sx) {
                    if ((map.labels[size_t(sy * map.width + sx)] == label) == invert) continue;
                    const uint32_t d = uint32_t((x - sx) * (x - sx) + (y - sy) * (y - sy));
                    uint32_t& best = out[size_t(y * map.width + x)];
                    best = std::min(best, d);
                }
    return out;
}

// Components of kOpen pixels by flood fill, numbered from `first` in the
// order of their first pixel in rows from the top, with their sizes.
std::vector<uint64_t> FloodLabels(SMap& map, uint32_t first) {
    std::vector<uint64_t> sizes;
    std::vector<int64_t> stack;
    for (int64_t start = 0; start < int64_t(map.labels.size()); ++start) {
        if (map.labels[size_t(start)] != kOpen) continue;
        const uint32_t label = first + uint32_t(sizes.size());
        sizes.push_back(0);
        map.labels[size_t(start)] = label;
        stack.push_back(start);
        while (!stack.empty()) {
            const int64_t i = stack.back();
            stack.pop_back();
            ++sizes.back();
            const int64_t x = i % map.width, y = i / map.width;
            const int64_t next[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
            for (const auto& [nx, ny] : next) {
                if (nx < 0 || ny < 0 || nx >= map.width || ny >= map.height) continue;
                uint32_t& value = map.labels[size_t(ny * map.width + nx)];
                if (value != kOpen) continue;
                value = label;
                stack.push_back(ny * map.width + nx);
            }
        }
    }
    return sizes;
}

}  // namespace

TEST(RegionMap, DistancesAreExactOnEveryWorkerCount) {
    unsigned seed = 1;
    for (const auto& [width, height] : kSizes) {
        if (int64_t(width) * height > 9000) continue;  // the reference is quartic
        for (const double lines : {0.0, 0.002, 0.05, 0.5, 1.0}) {
            const SMap map = RandomMap(width, height, lines, seed++);
            for (const bool invert : {false, true}) {
                const std::vector<uint32_t> expected = BruteDistances(map, kLine, invert);
                for (const int workers : {1, 2, 3}) {
                    std::vector<uint32_t> out(map.labels.size(), 12345);
                    std::atomic<uint64_t> heard{0};
                    SquaredDistances(width, height, map.labels.data(), kLine, invert, out.data(), workers,
                                     [&](uint64_t work) { heard += work; });
                    EXPECT_EQ(out, expected) << width << "x" << height << " lines " << lines << " invert "
                                             << invert << " workers " << workers;
                    // Two units a pixel, as the stages' progress counts them.
                    EXPECT_EQ(heard.load(), 2 * uint64_t(width) * uint64_t(height));
                }
            }
        }
    }
}

// Far sources: the crossings of parabolas whose heights differ by much more
// than their distance apart, where a rounded crossing would pick a site too
// early or too late.
TEST(RegionMap, DistancesHoldWithSourcesFarApart) {
    for (const int32_t height : {40, 400}) {
        SMap map{23, height, std::vector<uint32_t>(size_t(23) * size_t(height), kOpen)};
        for (int32_t x = 0; x < 23; x += 2)
            map.labels[size_t((height - 1 - (x * 7) % height) * 23 + x)] = kLine;
        std::vector<uint32_t> out(map.labels.size());
        SquaredDistances(23, height, map.labels.data(), kLine, false, out.data(), 2);
        EXPECT_EQ(out, BruteDistances(map, kLine, false)) << height;
    }
}

TEST(RegionMap, ComponentsComeInOrderOfFirstAppearanceOnEveryWorkerCount) {
    unsigned seed = 100;
    for (const auto& [width, height] : kSizes)
        for (const double lines : {0.0, 0.3, 0.45, 0.6, 1.0}) {
            const SMap map = RandomMap(width, height, lines, seed++);
            SMap expected = map;
            const uint32_t first = 7;
            const std::vector<uint64_t> expectedSizes = FloodLabels(expected, first);
            for (const int workers : {1, 2, 3, 8}) {
                SMap labelled = map;
                SLabelMap view{width, height, labelled.labels.data()};
                const std::vector<uint64_t> sizes = LabelComponents(
                    view, first, [&](int64_t i) { return map.labels[size_t(i)] == kOpen; }, {}, workers);
                EXPECT_EQ(sizes, expectedSizes) << width << "x" << height << " lines " << lines;
                EXPECT_EQ(labelled.labels, expected.labels) << width << "x" << height << " lines " << lines;
            }
        }
}

namespace {

// Labels each worker count's way and compares with the flood fill.
void ExpectFloodLabels(const SMap& map, uint32_t first, const char* what) {
    SMap expected = map;
    const std::vector<uint64_t> expectedSizes = FloodLabels(expected, first);
    for (const int workers : {1, 2, 3, 8}) {
        SMap labelled = map;
        const std::vector<uint64_t> sizes = LabelComponents(
            {map.width, map.height, labelled.labels.data()}, first,
            [&](int64_t i) { return map.labels[size_t(i)] == kOpen; }, {}, workers);
        EXPECT_EQ(sizes, expectedSizes) << what << " workers " << workers;
        EXPECT_EQ(labelled.labels, expected.labels) << what << " workers " << workers;
    }
}

}  // namespace

// Shapes whose parts meet only rows below where a band of rows would end:
// a serpentine crossing every band many times, and teeth that start at
// scattered rows, some joined only by the foot row and some left alone,
// so that the order of first appearance is settled far from the tops.
TEST(RegionMap, ComponentsJoinedAcrossManyRowsKeepTheirOrder) {
    const int32_t width = 41, height = 300;
    auto blank = [&] { return SMap{width, height, std::vector<uint32_t>(size_t(width) * height, kLine)}; };
    auto open = [&](SMap& map, int32_t x, int32_t y) { map.labels[size_t(y) * width + size_t(x)] = kOpen; };
    SMap serpentine = blank();
    for (int32_t x = 0; x < width; x += 2) {
        for (int32_t y = 1; y + 1 < height; ++y) open(serpentine, x, y);
        if (x + 2 < width) open(serpentine, x + 1, (x / 2) % 2 == 0 ? height - 2 : 1);
    }
    ExpectFloodLabels(serpentine, 3, "serpentine");
    SMap combs = blank();
    for (int32_t x = 0; x < width; x += 2)
        for (int32_t y = (x * 37) % 250; y < height - 1 - (x % 6 == 0 ? 0 : 1); ++y) open(combs, x, y);
    for (int32_t x = 0; x < width; ++x) open(combs, x, height - 1);
    ExpectFloodLabels(combs, 1, "combs");
}

// The room above firstLabel is for as many labels as one pass from the top
// opens, whatever the number of workers: k stripes open k labels.
TEST(RegionMap, TooManyComponentsFailOnTheSameCountOnEveryWorkerCount) {
    const int32_t width = 15, height = 400;
    SMap stripes{width, height, std::vector<uint32_t>(size_t(width) * height, kOpen)};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 1; x < width; x += 2) stripes.labels[size_t(y) * width + size_t(x)] = kLine;
    const uint32_t count = (width + 1) / 2;
    ExpectFloodLabels(stripes, kOpen - count, "stripes with just enough room");
    for (const int workers : {1, 2, 3, 8}) {
        SMap labelled = stripes;
        EXPECT_THROW(LabelComponents(
                         {width, height, labelled.labels.data()}, kOpen - count + 1,
                         [&](int64_t i) { return stripes.labels[size_t(i)] == kOpen; }, {}, workers),
                     CTooManyLabels)
            << workers;
    }
}

TEST(RegionMap, GrowthIsTheSameOnEveryWorkerCount) {
    unsigned seed = 200;
    for (const auto& [width, height] : kSizes)
        for (const double lines : {0.1, 0.35, 0.5}) {
            SMap map = RandomMap(width, height, lines, seed++);
            // A few seeds of different labels among the open pixels.
            std::mt19937 random(seed);
            for (int k = 0; k < 6; ++k) {
                const size_t at = std::uniform_int_distribution<size_t>(0, map.labels.size() - 1)(random);
                if (map.labels[at] == kOpen) map.labels[at] = uint32_t(k + 1);
            }
            SMap single = map;
            GrowIntoOpen({width, height, single.labels.data()}, {}, 1);
            for (const int workers : {2, 3, 8}) {
                SMap grown = map;
                std::atomic<uint64_t> heard{0};
                GrowIntoOpen(
                    {width, height, grown.labels.data()}, [&](uint64_t work) { heard += work; }, workers);
                EXPECT_EQ(grown.labels, single.labels) << width << "x" << height << " workers " << workers;
                EXPECT_GE(heard.load(), uint64_t(width) * uint64_t(height));
            }
            // Every open pixel a seed reaches is taken; none is left that
            // touches a label.
            for (int64_t i = 0; i < int64_t(single.labels.size()); ++i) {
                if (single.labels[size_t(i)] != kOpen) continue;
                const int64_t x = i % width;
                EXPECT_FALSE(x + 1 < width && single.labels[size_t(i + 1)] != kOpen &&
                             single.labels[size_t(i + 1)] != kLine);
            }
        }
}
