#include "cli/PluginFailure.h"

#include <gtest/gtest.h>

#include "hostapi/HostInterface.h"

namespace {

using cli::DescribePluginFailure;
using cli::SPluginFailure;

// The plug-in answers every failure of its own with one code, so the words
// must come from when in the run it failed; a colourist reading "result
// -30100" alone learns nothing.
TEST(PluginFailureWords, SayWhenInTheRunAndWhatTheCodeMeans) {
    const std::string flatting =
        DescribePluginFailure({host::filterBadParameters, host::filterSelectorStart, true});
    EXPECT_EQ(flatting.rfind("the plug-in failed while flatting: it ran out of memory", 0), 0u) << flatting;
    EXPECT_NE(flatting.find("(result -30100)"), std::string::npos) << flatting;

    const std::string early =
        DescribePluginFailure({host::filterBadParameters, host::filterSelectorStart, false});
    EXPECT_EQ(early.rfind("the plug-in failed before flatting:", 0), 0u) << early;

    const std::string memory = DescribePluginFailure({host::memFullErr, host::filterSelectorPrepare, false});
    EXPECT_EQ(memory,
              "the plug-in failed while preparing: there was not enough memory for this page (result " +
                  std::to_string(host::memFullErr) + ")");
}

TEST(PluginFailureWords, AnUnknownCodeStillNamesItsNumber) {
    EXPECT_EQ(DescribePluginFailure({-12345, 99, false}), "the plug-in failed (result -12345)");
}

}  // namespace
