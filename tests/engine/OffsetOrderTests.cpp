// The search order beyond what a table holds: made in pieces, shared between
// threads, streamed ring by ring past the table's budget. Held to the order
// worked out the long way, ties included, and to the results of a search
// whose table holds everything.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <thread>
#include <tuple>

#include "engine/FlatPass.h"
#include "engine/FlatStrip.h"
#include "engine/OffsetOrder.h"
#include "engine/PixelDistance.h"
#include "tests/engine/EngineTesting.h"
#include "tests/engine/ReferenceFlatting.h"

using namespace engine_testing;

namespace {

std::vector<SRefOffset> Offsets(const std::vector<_SPixelOffset>& entries) {
    std::vector<SRefOffset> offsets;
    for (const _SPixelOffset& e : entries) offsets.push_back({e.dx, e.dy});
    return offsets;
}

// The offsets with lo < distSq <= hi, sorted the long way: every point of the
// square tried, then the keys of the rule (distance, larger ring first,
// counter-clockwise from straight down by angle).
std::vector<SRefOffset> BruteForceBetween(long long lo, long long hi) {
    struct SKeyed {
        long long distSq;
        int rank;
        double angle;
        SRefOffset offset;
    };
    std::vector<SKeyed> all;
    const int r = int(std::sqrt(double(hi))) + 1;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const long long d = 1LL * dx * dx + 1LL * dy * dy;
            if (d <= lo || d > hi) continue;
            double angle = std::atan2(double(dx), double(dy));
            if (angle < 0) angle += 2 * std::numbers::pi;
            all.push_back({d, std::max(std::abs(dx), std::abs(dy)), angle, {dx, dy}});
        }
    std::sort(all.begin(), all.end(), [](const SKeyed& l, const SKeyed& r) {
        return std::tie(l.distSq, r.rank, l.angle) < std::tie(r.distSq, l.rank, r.angle);
    });
    std::vector<SRefOffset> order;
    for (const SKeyed& k : all) order.push_back(k.offset);
    return order;
}

// Tables made by the passes hold only `entries` while it lives.
class CTableBudget {
public:
    explicit CTableBudget(uint64_t entries) { gOffsetTableEntries = entries; }
    ~CTableBudget() { gOffsetTableEntries = kDefaultTableEntries; }
};

TEST(OffsetPieces, AnyCutOfTheOrderGivesTheRuleTiesIncluded) {
    std::vector<_SPixelOffset> whole;
    AppendOffsetsBetween(0, 150 * 150, whole);
    EXPECT_EQ(Offsets(whole), ReferenceOrder(150));
    EXPECT_EQ(whole.size(), OffsetsWithinRing(150));

    std::mt19937 random(5);
    std::vector<_SPixelOffset> pieces;
    for (uint64_t lo = 0; lo < 150 * 150;) {
        const uint64_t hi =
            std::min<uint64_t>(150 * 150, lo + std::uniform_int_distribution<uint64_t>(1, 700)(random));
        AppendOffsetsBetween(lo, hi, pieces);
        lo = hi;
    }
    EXPECT_EQ(Offsets(pieces), Offsets(whole));
}

TEST(OffsetPieces, DeepRingsFollowTheRuleTiesIncluded) {
    // 1105 and 5525 are sums of two squares in many ways: long runs of ties.
    for (const long long ring : {1105LL, 2000LL, 5525LL}) {
        std::vector<_SPixelOffset> piece;
        AppendOffsetsBetween(uint64_t((ring - 1) * (ring - 1)), uint64_t(ring * ring), piece);
        EXPECT_EQ(Offsets(piece), BruteForceBetween((ring - 1) * (ring - 1), ring * ring)) << ring;
    }
    EXPECT_EQ(OffsetsWithinRing(1155), 4190940u);  // the default table's last ring
    EXPECT_LE(OffsetsWithinRing(1155), kDefaultTableEntries);
    EXPECT_GT(OffsetsWithinRing(1156), kDefaultTableEntries);
    EXPECT_EQ(COffsetTable().RingBudget(), 1155u);
}

TEST(OffsetPieces, TheLargestRingHoldsItsOffsetsOutsideEveryImage) {
    std::vector<_SPixelOffset> piece;
    AppendOffsetsBetween(32767ULL * 32767, 32767ULL * 32767 + 1, piece);
    ASSERT_GE(piece.size(), 8u);  // (±1, ±32767) and (±32767, ±1) first, the largest ring
    EXPECT_EQ(Offsets({piece.begin(), piece.begin() + 8}), (std::vector<SRefOffset>{{1, 32767},
                                                                                    {32767, 1},
                                                                                    {32767, -1},
                                                                                    {1, -32767},
                                                                                    {-1, -32767},
                                                                                    {-32767, -1},
                                                                                    {-32767, 1},
                                                                                    {-1, 32767}}));
    piece.clear();
    AppendOffsetsBetween(32768ULL * 32768 - 1, 32768ULL * 32768, piece);
    ASSERT_EQ(piece.size(), 4u);
    EXPECT_EQ(piece[0].dy, 32767);
    EXPECT_EQ(piece[3].dx, -32768);
    EXPECT_THROW(AppendOffsetsBetween(32768ULL * 32768, 32768ULL * 32768 + 1, piece), std::length_error);
}

TEST(StreamedOrder, ASearchPastItsTableTakesTheSameOffsetsFromEveryHint) {
    auto table = std::make_shared<COffsetTable>(300);  // out to ring 9 only
    ASSERT_EQ(table->RingBudget(), 9u);
    CPixelDistance streamed(table), whole;
    streamed.maxRings = whole.maxRings = 70;
    for (uint32_t hint : {0u, 1u, 5u, 9u, 10u, 11u, 30u, 69u, 70u, 71u}) {
        auto all = [&](CPixelDistance& search) {
            search.SetCentre(500, 500, 1001, 1001);
            std::vector<SRefOffset> seen;
            int32_t dx = 0, dy = 0;
            for (bool more = search.FirstCandidate(hint, dx, dy); more; more = search.NextCandidate(dx, dy))
                seen.push_back({dx, dy});
            return seen;
        };
        const std::vector<SRefOffset> expected = all(whole);
        EXPECT_EQ(all(streamed), expected) << "hint " << hint;
        EXPECT_TRUE(streamed.exhausted);
        EXPECT_EQ(streamed.ringCount, whole.ringCount);
    }
    EXPECT_EQ(Offsets(streamed.Entries()), ReferenceOrder(70));
    EXPECT_LE(table->Rings(), 9u);
    // Two rings of its own, the deepest two it has walked.
    EXPECT_LE(streamed.OwnBytes(), sizeof(CPixelDistance) + 2 * 8 * 70 * sizeof(_SPixelOffset) * 2);
}

TEST(StreamedOrder, SearchesOnManyThreadsShareOneTableAndAllSeeTheRule) {
    auto table = std::make_shared<COffsetTable>(OffsetsWithinRing(60));
    std::vector<std::vector<SRefOffset>> seen(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            CPixelDistance search(table);
            search.maxRings = uint16_t(40 + 5 * t);  // some within the table, some past it
            search.SetCentre(500, 500, 1001, 1001);
            int32_t dx = 0, dy = 0;
            for (bool more = search.FirstCandidate(1, dx, dy); more; more = search.NextCandidate(dx, dy))
                seen[size_t(t)].push_back({dx, dy});
        });
    for (std::thread& t : threads) t.join();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(seen[size_t(t)], ReferenceOrder(40 + 5 * t)) << t;
    EXPECT_EQ(table->Rings(), 60u);
}

sim::CHostImage ColourOnlyInColumn(int width, int height, int column) {
    sim::CHostImage page(width, height, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (x == column)
                page.SetPixel(x, y, {uint8_t(200 - y % 50), 40, uint8_t(y % 7 * 30)});
            else
                page.SetPixel(x, y, {uint8_t((x + 2 * y) % 9), uint8_t(x % 5), 3});
    return page;
}

sim::CHostImage FlatWith(const sim::CHostImage& page, int depth, bool white, int workers, bool assisted) {
    testing_support::CLaidOutImage laidOut(page,
                                           testing_support::SpecFor(page, false, sim::ELayout::Interleaved));
    CRecordingPassHost host;
    CPixelDistance search;
    search.maxRings = uint16_t(depth);
    const SPassSettings settings{uint16_t(depth), white,
                                 assisted ? EFlatMethod::DistanceAssisted : EFlatMethod::Search};
    RunFlatPass(laidOut.Flat(), search, settings, host, workers);
    EXPECT_FALSE(host.reports.empty() || host.reports.back() != page.Height());
    return laidOut.Output();
}

// The pages that once failed past the table's budget, scaled down with the
// budget: the colour along one side, the depth far past the table, the
// scans reaching both opposite edges.
TEST(StreamedOrder, PagesDeeperThanTheTableGiveTheWholeTablesResultOnEveryPathAndWorkerCount) {
    struct SCase {
        int width, height, column, depth;
    };
    for (const SCase c :
         {SCase{27, 54, 0, 40}, SCase{48, 48, 47, 40}, SCase{48, 48, 47, 65535}, SCase{70, 9, 0, 65535}}) {
        const sim::CHostImage page = ColourOnlyInColumn(c.width, c.height, c.column);
        for (const bool white : {false, true}) {
            const SReference reference = ReferenceFlat(page, false, c.depth, white);
            for (int workers = 1; workers <= 8; ++workers) {
                const sim::CHostImage expected = FlatWith(page, c.depth, white, workers, false);
                for (int y = 0; y < page.Height(); ++y)
                    for (int x = 0; x < page.Width(); ++x)
                        for (int k = 0; k < 3 && reference.Known(x, y); ++k)
                            ASSERT_EQ(expected.At(x, y, k), reference.expected.At(x, y, k)) << x << "," << y;
                CTableBudget budget(200);  // out to ring 7
                for (const bool assisted : {false, true})
                    EXPECT_EQ(FlatWith(page, c.depth, white, workers, assisted), expected)
                        << c.width << "x" << c.height << " depth " << c.depth << " workers " << workers
                        << (assisted ? " assisted" : " search");
            }
        }
    }
}

}  // namespace
