// How far a search may grow: never past the rings that can matter in the
// image, whatever depth scripting asks for, and never past the table budget.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <new>
#include <random>

#include "engine/BandWalker.h"
#include "engine/FlatPass.h"
#include "engine/FlatStrip.h"
#include "tests/engine/EngineTesting.h"
#include "tests/support/SimulatorRun.h"

using namespace engine_testing;

namespace {

// All black in shades that differ from pixel to pixel, so a pixel that gives
// up at the border, copies another or is painted white all show.
sim::CHostImage ShadedBlack(int width, int height) {
    sim::CHostImage image(width, height, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.SetPixel(x, y, {uint8_t((x + 2 * y) % 9), uint8_t((3 * x + y) % 9), 4});
    return image;
}

// The plain search: these are bounds on how far it grows, and the assisted
// walk settles many of these pixels without growing it.
SPassSettings Params(int depth, bool white) {
    return SPassSettings{uint16_t(depth), white, EFlatMethod::Search};
}

// The pass as the host's thread runs it; `search` comes back grown.
sim::CHostImage Flat(const sim::CHostImage& page, int depth, bool white, CPixelDistance& search) {
    CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved));
    CRecordingPassHost host;
    search.maxRings = uint16_t(depth);
    RunFlatPass(laidOut.Flat(), search, Params(depth, white), host, 1);
    return laidOut.Output();
}

// The same strips with a search that only the depth limits: the walker's
// bound lifted again.
sim::CHostImage FlatUnbounded(const sim::CHostImage& page, int depth, bool white, CPixelDistance& search) {
    CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved));
    const SFlatImage image = laidOut.Flat();
    search.maxRings = uint16_t(depth);
    CBandWalker walker(image, search, SPassSettings{uint16_t(depth), white, EFlatMethod::Search});
    search.imageRingLimit = UINT16_MAX;
    walker.Walk(0, image.height, kStripRows);
    return laidOut.Output();
}

TEST(GrowthBound, AHugeDepthGivesWhatAnUnboundedSearchGivesAndGrowsNoFurtherThanTheImage) {
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        const int width = std::uniform_int_distribution<int>(1, 26)(random);
        const int height = std::uniform_int_distribution<int>(1, 26)(random);
        const bool white = round % 2 == 0;
        const sim::CHostImage page =
            round % 3 == 0 ? ShadedBlack(width, height) : RandomPage(random, width, height, false);
        const int bound = std::max(width, height) + 1;

        CPixelDistance unbounded, huge, atBound;
        const auto expected = FlatUnbounded(page, UINT16_MAX, white, unbounded);
        EXPECT_LE(unbounded.ringCount, std::max<int>(bound, kPrebuiltRings)) << width << "x" << height;
        EXPECT_EQ(Flat(page, UINT16_MAX, white, huge), expected) << width << "x" << height;
        EXPECT_EQ(Flat(page, bound, white, atBound), expected) << width << "x" << height;
        EXPECT_EQ(huge.ringCount, unbounded.ringCount);
    }
}

TEST(GrowthBound, OneRingLessWouldTurnBorderGiveUpsIntoTooDeepPixels) {
    // In a 12 x 12 black square some searches run through all of distance
    // 12 without giving up, and only give up at 12² + 1.
    const sim::CHostImage page = ShadedBlack(12, 12);
    CPixelDistance a, b;
    const auto huge = Flat(page, UINT16_MAX, true, a);
    const auto tooTight = FlatUnbounded(page, 12, true, b);
    EXPECT_NE(huge, tooTight);
    EXPECT_EQ(a.ringCount, 13);
}

TEST(GrowthBound, ABlackPageAtTheLargestDepthEndsQuicklyWithASmallTable) {
    const sim::CHostImage page = ShadedBlack(96, 64);
    CPixelDistance huge, atBound;
    const auto start = std::chrono::steady_clock::now();
    const auto output = Flat(page, UINT16_MAX, true, huge);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LE(huge.ringCount, 97);
    // Every offset within radius 97: about pi * 97² entries, under 256 KiB.
    EXPECT_LE(huge.Entries().size() * sizeof(_SPixelOffset), 256u * 1024u);
    EXPECT_EQ(Flat(page, 97, true, atBound), output);
    EXPECT_LT(seconds, 20.0);  // generous for sanitizer builds; a fraction of a second optimised
}

// A black page of any size in three bytes: every step is zero, so every
// pixel of input and output is the same one.
SFlatImage EndlessBlack(uint8_t (&pixel)[3], uint16_t width, uint16_t height) {
    SFlatImage image;
    image.inData = pixel;
    image.outData = pixel;
    image.inPlaneBytes = image.outPlaneBytes = 1;
    image.width = width;
    image.height = height;
    image.planeCount = 3;
    return image;
}

TEST(GrowthBound, ACancelInsideAStripOfMinutesActsWithinSeconds) {
    // Every pixel of the first strip scans millions of offsets before it
    // gives up at the border: the strip alone would take minutes. The host's
    // abort test is asked inside it once it has run half a second.
    uint8_t pixel[3] = {0, 0, 0};
    CPixelDistance search;
    search.maxRings = UINT16_MAX;
    CRecordingPassHost host;
    host.abort = [] { return true; };
    const auto start = std::chrono::steady_clock::now();
    RunFlatPass(EndlessBlack(pixel, 3000, 3000), search, Params(UINT16_MAX, true), host, 1);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 30.0);  // a second or two optimised
    EXPECT_EQ(host.abortCalls, 1);
    EXPECT_TRUE(host.reports.empty()) << "the strip left unfinished is not counted";
    // Past the table's rings the search holds two rings of its own.
    EXPECT_LE(search.OwnBytes(), sizeof(CPixelDistance) + 2 * 8 * 3001 * 8 * sizeof(_SPixelOffset));
}

}  // namespace
