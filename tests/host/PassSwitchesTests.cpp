// The switches of the pass, read in one place from the environment, and
// what the processor count makes of them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/PassSwitches.h"
#include "host/ProcessorCount.h"

namespace {

SPassSwitches ReadWith(const char* processors, const char* fastPath) {
    if (processors)
        setenv("VANDREL_PROCESSORS", processors, 1);
    else
        unsetenv("VANDREL_PROCESSORS");
    if (fastPath)
        setenv("VANDREL_FASTPATH", fastPath, 1);
    else
        unsetenv("VANDREL_FASTPATH");
    const SPassSwitches switches = ReadPassSwitches();
    unsetenv("VANDREL_PROCESSORS");
    unsetenv("VANDREL_FASTPATH");
    return switches;
}

TEST(PassSwitches, OnlyAZeroFastPathSelectsThePlainSearch) {
    EXPECT_EQ(ReadWith(nullptr, nullptr).method, EFlatMethod::DistanceAssisted);
    EXPECT_EQ(ReadWith(nullptr, "0").method, EFlatMethod::Search);
    for (const char* other : {"1", "", "00", "no", " 0"})
        EXPECT_EQ(ReadWith(nullptr, other).method, EFlatMethod::DistanceAssisted) << '"' << other << '"';
}

TEST(PassSwitches, AProcessorCountIsTakenOnlyWhenItIsAWholeNumber) {
    EXPECT_FALSE(ReadWith(nullptr, nullptr).processors);
    EXPECT_EQ(ReadWith("1", nullptr).processors, 1u);
    EXPECT_EQ(ReadWith("0", nullptr).processors, 0u);
    EXPECT_EQ(ReadWith("5000", nullptr).processors, 1000u);
    for (const char* bad : {"", "x", "3x", "-2", " "})
        EXPECT_FALSE(ReadWith(bad, nullptr).processors) << '"' << bad << '"';
}

TEST(PassSwitches, TheCountFallsBackToEightAndStopsAt127) {
    EXPECT_EQ(ProcessorCount(1u), 1);
    EXPECT_EQ(ProcessorCount(0u), 8);
    EXPECT_EQ(ProcessorCount(127u), 127);
    EXPECT_EQ(ProcessorCount(1000u), 127);
    EXPECT_GE(ProcessorCount(), 1);
}

}  // namespace
