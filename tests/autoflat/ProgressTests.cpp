#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "autoflat/RunControl.h"
#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

namespace {

// A grid of small boxes, and a palette of greys too close together for any
// of them to stand apart from a neighbour: every region tries them all.
struct SBusyPage {
    SBusyPage() : page(768, 768) {
        for (int y = 0; y + 16 <= page.height; y += 16)
            for (int x = 0; x + 16 <= page.width; x += 16) page.Box(x, y, x + 16, y + 16, 2);
        for (int grey = 100; grey < 164; ++grey)
            settings.palette.push_back(SColour{{uint8_t(grey), uint8_t(grey), uint8_t(grey), 0}});
        settings.minRegion = 0;
    }
    CTestPage page;
    SAutoFlatSettings settings;
};

const char* const kPixelStages[] = {"classifying",         "measuring gaps", "finding regions",
                                    "finding spot blacks", "melting lines",  "merging small regions",
                                    "painting flats"};

}  // namespace

// The caller hears of a stage every so much work, not only when it begins:
// a stage that walks the page reports at least once for every
// kReportWork pixels, always from the calling thread, never going back.
TEST(AutoFlatProgress, EveryStageReportsAsItGoes) {
    SBusyPage busy;
    for (const int workers : {1, 2}) {
        busy.settings.workers = workers;
        std::map<std::string, int> calls;
        double last = 0;
        bool backwards = false, otherThread = false;
        const std::thread::id caller = std::this_thread::get_id();
        const SAutoFlatResult result =
            AutoFlat(busy.page.View(), nullptr, busy.settings, [&](double fraction, const char* stage) {
                ++calls[stage];
                backwards |= fraction < last;
                otherThread |= std::this_thread::get_id() != caller;
                last = fraction;
                return true;
            });
        ASSERT_EQ(result.status, EAutoFlatStatus::Ok) << result.message;
        EXPECT_FALSE(backwards);
        EXPECT_FALSE(otherThread);
        const int least =
            int(uint64_t(busy.page.width) * busy.page.height / CStageProgress::kReportWork) / workers;
        for (const char* stage : kPixelStages) EXPECT_GE(calls[stage], least) << stage << ", " << workers;
        // Colouring reckons at least eight units of work a region.
        EXPECT_GE(calls["choosing colours"], int(8 * result.regions.size() / CStageProgress::kReportWork))
            << workers;
        EXPECT_GE(calls["choosing colours"], 2) << workers;
    }
}

// A refusal in the middle of any stage is the last call: the run ends there
// with every worker, and nothing is returned but the status.
TEST(AutoFlatProgress, ARefusalWithinAStageEndsTheRun) {
    SBusyPage busy;
    busy.settings.workers = 2;
    std::vector<const char*> stages(std::begin(kPixelStages), std::end(kPixelStages));
    stages.push_back("choosing colours");
    for (const char* refused : stages) {
        int seen = 0, afterRefusal = 0;
        bool said = false;
        const SAutoFlatResult result =
            AutoFlat(busy.page.View(), nullptr, busy.settings, [&](double, const char* stage) {
                afterRefusal += said;
                if (std::string(stage) == refused && ++seen == 3) said = true;
                return !said;
            });
        EXPECT_EQ(result.status, EAutoFlatStatus::Cancelled) << refused;
        EXPECT_EQ(afterRefusal, 0) << refused;
        EXPECT_TRUE(result.flats.empty()) << refused;
    }
}
