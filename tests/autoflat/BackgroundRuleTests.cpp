// What a flatter fills as one flat: the page's edge, strips between speed
// lines, screentone and letters' counters; and what must stay apart.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

namespace {

SAutoFlatSettings Settings(int gap) {
    SAutoFlatSettings settings;
    settings.gap = gap;
    settings.minRegion = 0;
    return settings;
}

// A stroke `width` pixels square stepped along the segment.
void Stroke(CTestPage& page, double x0, double y0, double x1, double y1, int width) {
    const int steps = int(std::ceil(std::max(std::abs(x1 - x0), std::abs(y1 - y0)))) + 1;
    for (int s = 0; s <= steps; ++s) {
        const int x = int(std::lround(x0 + (x1 - x0) * s / steps));
        const int y = int(std::lround(y0 + (y1 - y0) * s / steps));
        page.Fill(x, y, x + width, y + width, 0);
    }
}

// A line from the top edge that stops `short` pixels above the bottom edge.
CTestPage LineNearTheEdge(int shortOfEdge) {
    CTestPage page(120, 90);
    page.Fill(58, 0, 62, 90 - shortOfEdge, 0);
    return page;
}

// A panel whose bottom border carries nine speed lines rising to tips
// that crowd 4 px apart, closer than the gap of 8.
CTestPage SpeedLines() {
    CTestPage page(140, 320);
    page.Box(5, 5, 135, 315, 3);
    for (int k = 0; k < 9; ++k) Stroke(page, 70 + 14 * (k - 4), 312, 70 + 4 * (k - 4), 60, 2);
    return page;
}

// The triangle from a base `width` wide, centred on (bx, by), to the tip.
void Wedge(CTestPage& page, double bx, double by, double tx, double ty, double width) {
    const double length = std::hypot(tx - bx, ty - by), px = (by - ty) / length, py = (tx - bx) / length;
    const double ax = bx + px * width / 2, ay = by + py * width / 2, cx = bx - px * width / 2,
                 cy = by - py * width / 2;
    auto side = [](double x0, double y0, double x1, double y1, double x, double y) {
        return (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0);
    };
    const int x0 = int(std::floor(std::min({ax, cx, tx}))), x1 = int(std::ceil(std::max({ax, cx, tx})));
    const int y0 = int(std::floor(std::min({ay, cy, ty}))), y1 = int(std::ceil(std::max({ay, cy, ty})));
    for (int y = std::max(0, y0); y <= std::min(page.height - 1, y1); ++y)
        for (int x = std::max(0, x0); x <= std::min(page.width - 1, x1); ++x) {
            const double s0 = side(ax, ay, cx, cy, x + 0.5, y + 0.5),
                         s1 = side(cx, cy, tx, ty, x + 0.5, y + 0.5),
                         s2 = side(tx, ty, ax, ay, x + 0.5, y + 0.5);
            if ((s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0))
                page.Fill(x, y, x + 1, y + 1, 0);
        }
    Stroke(page, bx, by, tx, ty, 1);  // unbroken where it narrows under a pixel
}

// A panel `side` pixels square of 110 speed lines, wedges `wedge` wide at its
// border, with tips crowding round its middle closer than a gap of 6, and a
// balloon (a box) below the middle.
CTestPage Burst(int side, double wedge, int x0, int y0, int x1, int y1) {
    CTestPage page(side, side);
    page.Box(10, 10, side - 10, side - 10, 3);
    const double middle = side / 2, reach = middle - 12;
    for (int k = 0; k < 110; ++k) {
        const double a = 2 * 3.14159265358979 * (k + 0.5) / 110, dx = std::cos(a), dy = std::sin(a);
        const double out = reach / std::max(std::abs(dx), std::abs(dy));
        Wedge(page, middle + out * dx, middle + out * dy, middle + 63 * dx, middle + 63 * dy, wedge);
    }
    page.Box(x0, y0, x1, y1, 2);
    return page;
}

// A balloon of `letters` thick rings the size of capitals.
CTestPage Balloon(int letters) {
    CTestPage page(200, 80);
    page.Box(5, 5, 195, 75, 3);
    for (int k = 0; k < letters; ++k) page.Box(20 + 18 * k, 30, 32 + 18 * k, 46, 3);
    return page;
}

}  // namespace

TEST(AutoFlatBackground, TheEdgeIsNoLineButInkThatMeetsItParts) {
    const SAutoFlatResult open = Flat(LineNearTheEdge(6), Settings(12));
    ASSERT_EQ(open.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(LabelAt(open, 20, 40), LabelAt(open, 100, 40));

    SAutoFlatSettings asLine = Settings(12);
    asLine.pageEdgeIsLine = true;
    const SAutoFlatResult closed = Flat(LineNearTheEdge(6), asLine);
    EXPECT_NE(LabelAt(closed, 20, 40), LabelAt(closed, 100, 40));

    const SAutoFlatResult parted = Flat(LineNearTheEdge(0), Settings(12));
    EXPECT_NE(LabelAt(parted, 20, 40), LabelAt(parted, 100, 40));
}

TEST(AutoFlatBackground, StripsBetweenSpeedLinesAreOneFlat) {
    const SAutoFlatResult result = Flat(SpeedLines(), Settings(8));
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    std::set<uint32_t> strips;
    for (int k = 0; k < 8; ++k) strips.insert(LabelAt(result, 70 + 14 * (k - 4) + 8, 300));
    EXPECT_EQ(strips.size(), 1u);
    EXPECT_NE(*strips.begin(), LabelAt(result, 2, 2));  // never across the panel's border

    SAutoFlatSettings apart = Settings(8);
    apart.joinStrips = false;
    const SAutoFlatResult kept = Flat(SpeedLines(), apart);
    std::set<uint32_t> separate;
    for (int k = 0; k < 8; ++k) separate.insert(LabelAt(kept, 70 + 14 * (k - 4) + 8, 300));
    EXPECT_GT(separate.size(), 1u);
}

TEST(AutoFlatBackground, SpeedLinesABalloonCrossesStayOneFlatOutsideIt) {
    // A balloon below the burst's middle cuts the strips it crosses in
    // three: the parts under it, enclosed all round, rest on the panel's
    // border as the burst's strips do; the parts above it are closed off by
    // the crowding tips, or grown from the middle. All join the burst. The
    // balloon's inside, cut by the same lines, keeps apart from it. Nearer
    // the middle and farther out (where the parts above it are strips of
    // their own, sealed at one end only by the tips).
    for (const int top : {520, 640}) {
        const CTestPage page = Burst(820, 4, 360, top, 460, top + 50);
        const SAutoFlatResult result = Flat(page, Settings(6));
        ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
        const uint32_t burst = LabelAt(result, 410, 410);
        // Right under the balloon, slivers where two lines cross its edge may stay.
        for (int y = 480; y < 800; y += 4) {
            if (y >= top - 2 && y < top + 100) continue;
            for (int x = 366; x < 455; x += 3)
                ASSERT_EQ(LabelAt(result, x, y), burst) << top << ": " << x << "," << y;
        }
        EXPECT_NE(LabelAt(result, 410, top + 25), burst) << top;
        EXPECT_NE(LabelAt(result, 2, 2), burst) << top;
    }

    SAutoFlatSettings apart = Settings(6);
    apart.joinStrips = false;
    const SAutoFlatResult kept = Flat(Burst(820, 4, 360, 520, 460, 570), apart);
    EXPECT_NE(LabelAt(kept, 410, 700), LabelAt(kept, 410, 410));
}

TEST(AutoFlatBackground, ALowBalloonsPiecesAreNoLetters) {
    // Cut short by the speed lines, the pieces of a low balloon are small,
    // enclosed and inky, as counters are; but they lie between strips.
    const SAutoFlatResult result = Flat(Burst(820, 4, 360, 520, 460, 542), Settings(6));
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    const uint32_t burst = LabelAt(result, 410, 410);
    for (int x = 366; x < 455; x += 3) EXPECT_NE(LabelAt(result, x, 531), burst) << x;
}

TEST(AutoFlatBackground, BandsTheInkEnclosesStayApart) {
    // A striped sleeve: long narrow bands closed all round by ink.
    CTestPage page(240, 80);
    page.Box(10, 10, 230, 70, 2);
    for (int k = 1; k < 6; ++k) page.Fill(10, 10 + 10 * k, 230, 12 + 10 * k, 0);
    const SAutoFlatResult result = Flat(page, Settings(8));
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    std::set<uint32_t> bands;
    for (int k = 0; k < 6; ++k) bands.insert(LabelAt(result, 120, 16 + 10 * k));
    EXPECT_EQ(bands.size(), 6u);
}

TEST(AutoFlatBackground, ScreentoneIsOneWithThePaperAroundIt) {
    // A line from the panel's top stops where a tone of dots begins: the
    // two sides meet through the tone, which no seam cuts.
    CTestPage page(160, 140);
    page.Box(5, 5, 155, 135, 3);
    page.Fill(78, 5, 82, 70, 0);
    for (int y = 72; y < 130; y += 6)
        for (int x = 10 + (y / 6 % 2) * 3; x < 150; x += 6) page.Fill(x, y, x + 3, y + 3, 0);
    const SAutoFlatResult result = Flat(page, Settings(12));
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    const uint32_t left = LabelAt(result, 30, 30);
    EXPECT_EQ(LabelAt(result, 130, 30), left);
    for (int x = 12; x < 148; x += 9) EXPECT_EQ(LabelAt(result, x, 100), left) << x;

    SAutoFlatSettings dotsClose = Settings(12);
    dotsClose.textureClosesGaps = true;
    const SAutoFlatResult closed = Flat(page, dotsClose);
    EXPECT_NE(LabelAt(closed, 30, 30), LabelAt(closed, 130, 30));
}

TEST(AutoFlatBackground, AThinDiagonalLineIsNoTexture) {
    // One pixel wide, its pixels meeting only at corners.
    CTestPage page(100, 100);
    page.Box(0, 0, 100, 100, 2);
    for (int i = 2; i < 98; ++i) page.Fill(i, i, i + 1, i + 1, 0);
    const SAutoFlatResult result = Flat(page, Settings(12));
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    EXPECT_NE(LabelAt(result, 70, 30), LabelAt(result, 30, 70));
}

TEST(AutoFlatBackground, CountersOfAWordJoinTheirBalloon) {
    const SAutoFlatResult result = Flat(Balloon(6), Settings(8));
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    const uint32_t balloon = LabelAt(result, 10, 15);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(LabelAt(result, 26 + 18 * k, 38), balloon) << k;

    SAutoFlatSettings apart = Settings(8);
    apart.foldCounters = false;
    const SAutoFlatResult kept = Flat(Balloon(6), apart);
    EXPECT_NE(LabelAt(kept, 26, 38), LabelAt(kept, 10, 15));
}

TEST(AutoFlatBackground, PaperAmongTheLettersIsTheBalloons) {
    // Three lines of lettering, a letter missing in the middle one: the
    // paper where it would be is parted from the balloon only by gap closing.
    CTestPage page(240, 140);
    page.Box(5, 5, 235, 135, 3);
    for (int row = 0; row < 3; ++row)
        for (int k = 0; k < 8; ++k)
            if (row != 1 || k != 3) page.Box(20 + 18 * k, 25 + 22 * row, 32 + 18 * k, 41 + 22 * row, 4);
    const SAutoFlatResult result = Flat(page, Settings(12));
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    const uint32_t balloon = LabelAt(result, 10, 10);
    EXPECT_EQ(LabelAt(result, 80, 55), balloon);
    EXPECT_EQ(LabelAt(result, 26, 33), balloon);

    SAutoFlatSettings apart = Settings(12);
    apart.foldCounters = false;
    EXPECT_NE(LabelAt(Flat(page, apart), 80, 55), balloon);
}

TEST(AutoFlatBackground, TwoEyesAndWideRingsAreNoLetters) {
    const SAutoFlatResult eyes = Flat(Balloon(2), Settings(8));
    ASSERT_EQ(eyes.status, EAutoFlatStatus::Ok);
    EXPECT_NE(LabelAt(eyes, 26, 38), LabelAt(eyes, 10, 15));
    EXPECT_NE(LabelAt(eyes, 44, 38), LabelAt(eyes, 10, 15));

    CTestPage rings(400, 120);
    rings.Box(5, 5, 395, 115, 3);
    for (int k = 0; k < 6; ++k) rings.Box(15 + 62 * k, 20, 70 + 62 * k, 100, 2);
    const SAutoFlatResult wide = Flat(rings, Settings(8));
    for (int k = 0; k < 6; ++k) EXPECT_NE(LabelAt(wide, 42 + 62 * k, 60), LabelAt(wide, 10, 10)) << k;
}

TEST(AutoFlatBackground, HolesInASpotBlackAreNoCounters) {
    CTestPage page(240, 160);
    page.Fill(20, 20, 220, 140, 0);
    for (int k = 0; k < 6; ++k) page.Fill(40 + 25 * k, 30, 46 + 25 * k, 38, 255);
    const SAutoFlatResult result = Flat(page, Settings(8));
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    const uint32_t spot = LabelAt(result, 120, 100);
    ASSERT_TRUE(result.regions[spot].spotBlack);
    for (int k = 0; k < 6; ++k) EXPECT_NE(LabelAt(result, 42 + 25 * k, 33), spot) << k;
}

TEST(AutoFlatBackground, TheRulesGiveTheSameBytesForAnyWorkerCount) {
    CTestPage page(320, 320);
    page.Box(5, 5, 315, 315, 3);
    for (int k = 0; k < 9; ++k) Stroke(page, 160 + 14 * (k - 4), 312, 160 + 4 * (k - 4), 60, 2);
    for (int k = 0; k < 6; ++k) page.Box(20 + 18 * k, 20, 32 + 18 * k, 36, 3);
    for (int y = 200; y < 300; y += 6)
        for (int x = 10 + (y / 6 % 2) * 3; x < 100; x += 6) page.Fill(x, y, x + 3, y + 3, 0);
    SAutoFlatSettings one = Settings(8), two = Settings(8);
    one.workers = 1;
    two.workers = 2;
    const SAutoFlatResult a = Flat(page, one), b = Flat(page, two);
    ASSERT_EQ(a.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(a.flats, b.flats);
    EXPECT_EQ(a.labels, b.labels);
}
