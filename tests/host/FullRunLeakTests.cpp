// Every selector, About included, on one thread and on workers: once the
// host has ended the run and unloaded the plug-in, nothing the plug-in
// allocated may be left. LeakSanitizer decides; it runs in the
// AddressSanitizer build, and the same check runs again when the program
// exits, where it also sees whatever a static destructor left behind.
#include <gtest/gtest.h>

#include <cstdlib>

#include "sim/HostSimulator.h"
#include "tests/host/QuirkTesting.h"
#include "tests/support/TestImages.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace hostile {
namespace {

void EverySelector(int processors) {
    // Continue only comes when the rectangles ask for more: this host puts
    // them back once, so the plug-in sees that selector too.
    sim::SHostQuirks quirks;
    quirks.refilledContinues = 1;
    sim::CHostSimulator host(quirks);
    host.processors = processors;
    const auto page = TestPage();
    host.SetDocument(testing_support::RgbSpec(page), page);
    ASSERT_EQ(host.Call(host::filterSelectorAbout), host::noErr);
    host.GiveSettings(kPageDepth, true);
    const sim::SRunResult run = host.RunFilter(true);
    ASSERT_TRUE(run.Succeeded()) << Calls(run);
    EXPECT_EQ(Selectors(run),
              (std::vector<int16_t>{host::filterSelectorParameters, host::filterSelectorPrepare,
                                    host::filterSelectorStart, host::filterSelectorContinue,
                                    host::filterSelectorFinish}));
    EXPECT_EQ(host.Output(), ExpectedFlat(page, kPageDepth, true));
}

class FullRun : public ::testing::TestWithParam<int> {};

// Without AddressSanitizer only the run itself is checked; the leak check
// is that build's.
TEST_P(FullRun, EverySelectorRunsAndFreesWhatItAllocated) {
    EverySelector(GetParam());
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "LeakSanitizer found leaks: see its report above";
#endif
}

INSTANTIATE_TEST_SUITE_P(SingleAndThreaded, FullRun, ::testing::Values(1, 4));

}  // namespace
}  // namespace hostile
