// Random comic pages held to the plain statement of the rule, through the
// real plug-in in every layout and mode; and the threaded pass held to its
// bands flatted one after another.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/FlatPass.h"
#include "engine/FlatStrip.h"
#include "engine/PixelDistance.h"
#include "tests/engine/EngineTesting.h"
#include "tests/support/SimulatorRun.h"
#include "tests/engine/ReferenceFlatting.h"

using namespace engine_testing;

namespace {

struct SPageCase {
    int width, height;
    bool cmyk;
    sim::ELayout layout;
    bool bottomUp;
    int depth;
    bool white;
    int processors;
};

std::ostream& operator<<(std::ostream& out, const SPageCase& c) {
    return out << c.width << "x" << c.height << (c.cmyk ? " CMYK" : " RGB") << " layout " << int(c.layout)
               << (c.bottomUp ? " bottom-up" : "") << " depth " << c.depth << (c.white ? " W" : " B")
               << " on " << c.processors << " processor(s)";
}

SPageCase RandomCase(std::mt19937& random, int round) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    SPageCase c;
    c.width = round % 10 == 0 ? 1 : pick(2, 28);
    c.height = round % 10 == 5 ? 1 : pick(2, 64);
    c.cmyk = pick(0, 1) == 1;
    c.layout = sim::ELayout(pick(0, 2));
    c.bottomUp = pick(0, 3) == 0;
    const int depths[] = {0, 3, 10, 11, 14, 25, 40, 65535};
    c.depth = depths[pick(0, 7)];
    c.white = pick(0, 1) == 1;
    c.processors = pick(1, 8);
    return c;
}

TEST(Differential, RandomPagesThroughThePlugInFollowTheRule) {
    std::mt19937 random(2024);
    int known = 0, black = 0;
    for (int round = 0; round < 120; ++round) {
        const SPageCase c = RandomCase(random, round);
        const sim::CHostImage page = RandomPage(random, c.width, c.height, c.cmyk);
        SRunOptions options;
        options.depth = c.depth;
        options.white = c.white;
        options.processors = c.processors;
        const SPluginRun run = RunPlugin(SpecFor(page, c.cmyk, c.layout, c.bottomUp), page, options);
        ASSERT_EQ(run.result, host::noErr) << c;
        ASSERT_TRUE(run.guardsIntact) << c;

        const SReference ref = ReferenceFlat(page, c.cmyk, c.depth, c.white);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                black += IsBlack(page, x, y, c.cmyk);
                if (ref.Known(x, y)) {
                    known += IsBlack(page, x, y, c.cmyk);
                    for (int k = 0; k < page.Planes(); ++k)
                        ASSERT_EQ(run.output.At(x, y, k), ref.expected.At(x, y, k))
                            << c << ", pixel " << x << "," << y << " plane " << k << ", round " << round;
                } else {
                    // Given up at the border: a copy of some black pixel.
                    ASSERT_TRUE(IsBlack(run.output, x, y, c.cmyk)) << c << ", pixel " << x << "," << y;
                }
            }
    }
    // The comparison must bite: most black pixels are decided by the rule.
    EXPECT_GT(known, black / 2);
}

SPassSettings Params(int depth, bool white) { return SPassSettings{uint16_t(depth), white}; }

// What the workers must produce: each band on its own, strips counted from
// the band's first row, with a fresh search.
sim::CHostImage BandsOneAfterAnother(const sim::CHostImage& page, bool cmyk, int depth, bool white,
                                     int workers) {
    CLaidOutImage laidOut(page, SpecFor(page, cmyk, sim::ELayout::Interleaved));
    const SFlatImage image = laidOut.Flat();
    const int q = image.height / workers;
    for (int i = 0; i < workers; ++i) {
        const int first = i * q, end = i == workers - 1 ? image.height : (i + 1) * q;
        CPixelDistance search;
        search.maxRings = uint16_t(depth);
        for (int row = first; row < end; row += kStripRows)
            FlatStrip(row, std::min(kStripRows, end - row), image, search, white);
    }
    return laidOut.Output();
}

TEST(Differential, WorkersProduceExactlyTheirBandsFlattedOneAfterAnother) {
    std::mt19937 random(99);
    for (int round = 0; round < 40; ++round) {
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        const int width = pick(1, 30), height = pick(1, 130), workers = pick(2, 9);
        const bool cmyk = pick(0, 1) == 1, white = pick(0, 1) == 1;
        const int depth = pick(0, 1) ? 12 : 65535;
        const sim::CHostImage page = RandomPage(random, width, height, cmyk);

        CLaidOutImage threaded(page, SpecFor(page, cmyk, sim::ELayout::Interleaved));
        CRecordingPassHost host;
        CPixelDistance unused;
        RunFlatPass(threaded.Flat(), unused, Params(depth, white), host, workers);
        EXPECT_EQ(threaded.Output(), BandsOneAfterAnother(page, cmyk, depth, white, workers))
            << width << "x" << height << " on " << workers << " workers, round " << round;
        EXPECT_EQ(host.RowsDone(), height);
        ASSERT_FALSE(host.reports.empty());
        EXPECT_EQ(host.reports.back(), height);

        // One worker's worth of bands is the pass in the host's thread.
        CLaidOutImage single(page, SpecFor(page, cmyk, sim::ELayout::Interleaved));
        CPixelDistance search;
        search.maxRings = uint16_t(depth);
        RunFlatPass(single.Flat(), search, Params(depth, white), host, 1);
        EXPECT_EQ(single.Output(), BandsOneAfterAnother(page, cmyk, depth, white, 1));
    }
}

}  // namespace
