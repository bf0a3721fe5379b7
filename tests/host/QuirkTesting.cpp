#include "tests/host/QuirkTesting.h"

#include <sstream>

#include "tests/host/PluginAllocations.h"
#include "tests/support/TestImages.h"
#include "params/ScriptParams.h"

using namespace testing_support;

namespace hostile {

sim::CHostImage TestPage() {
    auto page = SolidImage(64, 100, 3, kRed);
    for (int y = 0; y < 100; ++y)
        for (int x = 40; x < 64; ++x) Paint(page, x, y, kBlue);
    for (int y = 0; y < 100; ++y) Paint(page, 39, y, kBlack);
    for (int y = 30; y < 70; ++y)
        for (int x = 4; x < 30; ++x) Paint(page, x, y, kBlack);
    return page;
}

std::vector<sim::SDescriptorItem> Action(int depth, bool white) {
    return {sim::SDescriptorItem::Integer(kKeyMaxDepth, depth),
            sim::SDescriptorItem::Bool(kKeyPaintWhite, white)};
}

sim::CHostImage ExpectedFlat(const sim::CHostImage& page, int depth, bool white) {
    sim::CHostSimulator plain;
    plain.SetDocument(RgbSpec(page), page);
    plain.GiveSettings(depth, white);
    const sim::SRunResult run = plain.RunFilter(false);
    EXPECT_TRUE(run.Succeeded()) << "a host without quirks failed: " << Calls(run);
    return plain.Output();
}

std::string Calls(const sim::SRunResult& run) {
    std::ostringstream out;
    for (auto [selector, result] : run.calls) out << selector << "->" << result << ' ';
    return out.str();
}

std::vector<int16_t> Selectors(const sim::SRunResult& run) {
    std::vector<int16_t> selectors;
    for (auto call : run.calls) selectors.push_back(call.first);
    return selectors;
}

void QuirkTest::Open(const sim::SHostQuirks& quirks) {
    host = std::make_unique<sim::CHostSimulator>(quirks);
    WatchPlugin(sim::DefaultPluginPath());
    page = TestPage();
    host->SetDocument(RgbSpec(page), page);
    // Whatever the plug-in keeps for the life of the process (none of it
    // per run) is in place before the count starts.
    liveBefore = LivePluginAllocations();
    dialogsShown = false;
}

void QuirkTest::TearDown() { FailNextPluginAllocations(0); }

void QuirkTest::ExpectNothingLeft() {
    EXPECT_TRUE(host->guardsIntact) << "written outside the delivered buffers";
    EXPECT_TRUE(host->recordGuardsIntact) << "written past the end of the filter record";
    if (dialogsShown) return;
    EXPECT_EQ(LivePluginAllocations(), liveBefore) << "blocks the plug-in allocated and never freed";
}

}  // namespace hostile
