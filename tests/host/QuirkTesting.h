// What the tests of quirky hosts share: a page whose flatting shows both
// parameters, what a host that keeps to the interface makes of it, and a
// check that the plug-in left nothing of its own behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/HostSimulator.h"

namespace hostile {

constexpr int kPageDepth = 3;

// Red and blue areas split by a black line, with a black blob too deep for
// kPageDepth, and deep enough that the default depth makes the search grow
// past the rings it starts with: 64 columns, 100 rows, three strips.
sim::CHostImage TestPage();

// The descriptor an action plays in: depth and paint-white.
std::vector<sim::SDescriptorItem> Action(int depth, bool white);

// The page flatted by a host without quirks, from an action with these
// values, as the given processor count makes it.
sim::CHostImage ExpectedFlat(const sim::CHostImage& page, int depth, bool white);

// The selectors a run made, in order, and their results, for messages.
std::string Calls(const sim::SRunResult& run);
std::vector<int16_t> Selectors(const sim::SRunResult& run);

// A host with quirks and the test page. Checks at the end of each test that
// the plug-in kept out of memory the host did not hand it and freed every
// block it allocated.
class QuirkTest : public ::testing::Test {
protected:
    void Open(const sim::SHostQuirks& quirks);
    void TearDown() override;
    // Every allocation of the plug-in freed, and nothing written outside
    // the record and the buffers.
    void ExpectNothingLeft();

    std::unique_ptr<sim::CHostSimulator> host;
    sim::CHostImage page;
    int64_t liveBefore = 0;
    // The headless stand-in for the dialogs keeps every font and device
    // context it ever handed out, for its own tests to inspect, so a test
    // that shows a dialog cannot count the plug-in's blocks; LeakSanitizer
    // still checks those runs, since lost blocks are unreachable.
    bool dialogsShown = false;
};

}  // namespace hostile
