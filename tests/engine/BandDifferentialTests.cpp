// The distance-assisted walk against the plain search, band by band as the
// passes cut the image: identical output on random art of every size, mode,
// layout, depth and remainder, with the transform made for every strip (so
// that small images take the shortcut wherever it holds) and left to its
// own decision.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/engine/FastPathTesting.h"

using namespace fastpath_testing;

namespace {

// A page case flatted in `workers` bands.
struct SBandCase : SPageCase {
    int workers;
};

std::ostream& operator<<(std::ostream& out, const SBandCase& c) {
    return out << static_cast<const SPageCase&>(c) << " in " << c.workers << " band(s)";
}

enum class EWalk { Search, AssistedAlways, AssistedByCost };

struct SWalked {
    sim::CHostImage output;
    int64_t shortcuts = 0;
};

// The bands of a pass with `workers` workers, each with a fresh search, its
// strips counted from the band's first row.
SWalked Walk(const sim::CHostImage& page, const SBandCase& c, EWalk walk) {
    CLaidOutImage laidOut(page, SpecFor(page, c.cmyk, c.layout, c.bottomUp));
    const SFlatImage image = laidOut.Flat();
    SWalked result;
    const int q = image.height / c.workers;
    for (int i = 0; i < c.workers; ++i) {
        const int first = i * q, end = i == c.workers - 1 ? image.height : (i + 1) * q;
        CPixelDistance search;
        search.maxRings = uint16_t(c.depth);
        const EFlatMethod method =
            walk == EWalk::Search ? EFlatMethod::Search : EFlatMethod::DistanceAssisted;
        result.shortcuts +=
            WalkBand(image, search, c.white, method, first, end, walk == EWalk::AssistedAlways)
                .shortcutPixels;
    }
    result.output = laidOut.Output();
    return result;
}

void ExpectSameWalks(const sim::CHostImage& page, const SBandCase& c, int64_t& shortcuts) {
    const SWalked plain = Walk(page, c, EWalk::Search);
    const SWalked always = Walk(page, c, EWalk::AssistedAlways);
    const SWalked byCost = Walk(page, c, EWalk::AssistedByCost);
    ASSERT_EQ(always.output, plain.output) << c;
    ASSERT_EQ(byCost.output, plain.output) << c;
    shortcuts += always.shortcuts;
}

TEST(BandDifferential, SmallImagesOfEverySizeComeOutAsThePlainSearchLeavesThem) {
    std::mt19937 random(8);
    const int depths[] = {0, 1, 3, 10, 11, 256, 300, 65535};
    int64_t shortcuts = 0;
    int round = 0;
    for (int width = 1; width <= 24; ++width)
        for (int height = 1; height <= 24; height += (width % 3) + 1, ++round) {
            auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
            SBandCase c{width,           height,           pick(0, 1) == 1,    sim::ELayout(pick(0, 2)),
                        pick(0, 1) == 1, EArt(pick(0, 3)), depths[pick(0, 7)], pick(0, 1) == 1,
                        pick(1, 8)};
            const sim::CHostImage page = RandomArt(random, width, height, c.cmyk, c.art);
            ExpectSameWalks(page, c, shortcuts);
        }
    EXPECT_GT(shortcuts, 5000);
}

TEST(BandDifferential, ImagesWiderThanTwiceTheDepthSettleDeepPixelsWithoutAScan) {
    std::mt19937 random(12);
    int64_t shortcuts = 0;
    for (int round = 0; round < 36; ++round) {
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        const int depths[] = {0, 1, 3, 10, 11, 12, 30};
        const int depth = depths[pick(0, 6)];
        const int width = pick(20, 110), height = pick(20, 130);
        SBandCase c{width,           height,           pick(0, 1) == 1, sim::ELayout(pick(0, 2)),
                    pick(0, 3) == 0, EArt(pick(0, 2)), depth,           pick(0, 1) == 1,
                    pick(1, 8)};
        const sim::CHostImage page = RandomArt(random, width, height, c.cmyk, c.art);
        ExpectSameWalks(page, c, shortcuts);
    }
    EXPECT_GT(shortcuts, 100000);
}

TEST(BandDifferential, DeepSearchesInLargerImages) {
    // Depths 256 and 300 need images over 600 pixels across before a too-deep
    // pixel can be settled without its scan; 65535 never can, but colour
    // within reach still can.
    std::mt19937 random(21);
    int64_t shortcuts = 0;
    const SBandCase cases[] = {
        {530, 50, false, sim::ELayout::Interleaved, false, EArt::AllBlack, 256, true, 1},
        {610, 44, true, sim::ELayout::Planar, false, EArt::FewColours, 300, false, 3},
        {50, 620, false, sim::ELayout::InterleavedSteps, true, EArt::Blobs, 300, true, 8},
        {560, 48, false, sim::ELayout::Interleaved, false, EArt::Blobs, 256, false, 2},
        {240, 160, true, sim::ELayout::Interleaved, false, EArt::Blobs, 65535, true, 5},
        {260, 140, false, sim::ELayout::Planar, true, EArt::FewColours, 65535, false, 1},
    };
    for (const SBandCase& c : cases) {
        const sim::CHostImage page = RandomArt(random, c.width, c.height, c.cmyk, c.art);
        ExpectSameWalks(page, c, shortcuts);
    }
    EXPECT_GT(shortcuts, 50000);
}

}  // namespace

namespace {

// A search that already served a deeper pass covers its grown rings before
// it reports a pixel too deep; the shortcut must reach as far.
TEST(BandDifferential, ASearchGrownBeforeKeepsItsReach) {
    std::mt19937 random(40);
    const sim::CHostImage page = RandomArt(random, 150, 90, false, EArt::Blobs);
    auto walk = [&](bool assisted) {
        CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved, false));
        const SFlatImage image = laidOut.Flat();
        CPixelDistance search;
        while (search.ringCount < 30) search.AddRing();
        search.maxRings = 12;
        WalkBand(image, search, true, assisted ? EFlatMethod::DistanceAssisted : EFlatMethod::Search, 0,
                 image.height, true);
        return laidOut.Output();
    };
    EXPECT_EQ(walk(true), walk(false));
}

}  // namespace
