// The transform only saves time, so a band that cannot have the memory for
// it goes on with the plain search and still gives the same output.
#include <gtest/gtest.h>

#include <random>

#include "tests/engine/FastPathTesting.h"
#include "tests/support/AllocationHook.h"

using namespace fastpath_testing;

namespace {

// The transform's mask is the engine's only array allocation; the search
// and the strip rows are vectors, which use the single form.
testing_support::SAllocationVerdict FailArrays(std::size_t, const void*, bool array) {
    return {array, false};
}

TEST(NoMemory, ABandWithoutMemoryForTheTransformScansAndGivesTheSameOutput) {
    std::mt19937 random(4);
    const sim::CHostImage page = RandomArt(random, 240, 130, false, EArt::Blobs);
    auto walk = [&](bool assisted, bool failArrays, int32_t& transformed) {
        CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved, false));
        const SFlatImage image = laidOut.Flat();
        CPixelDistance search;
        search.maxRings = 40;
        if (failArrays) testing_support::SetAllocationHook(FailArrays);
        transformed =
            WalkBand(image, search, true, assisted ? EFlatMethod::DistanceAssisted : EFlatMethod::Search, 0,
                     image.height, true)
                .transformedStrips;
        testing_support::SetAllocationHook(nullptr);
        return laidOut.Output();
    };
    int32_t transformed = 0;
    const sim::CHostImage plain = walk(false, false, transformed);
    EXPECT_EQ(walk(true, false, transformed), plain);
    EXPECT_GT(transformed, 0);
    EXPECT_EQ(walk(true, true, transformed), plain);
    EXPECT_EQ(transformed, 0);
}

}  // namespace
