// The preferences line itself: what is written, and what any content of
// the file turns into, without a host.
#include <gtest/gtest.h>

#include <locale>
#include <random>
#include <sstream>

#include "tests/params/ParamsTesting.h"
#include "params/Prefs.h"

using namespace params_testing;
using namespace std::string_literals;

namespace {

// A locale in the style many users run: digits grouped by threes.
struct SGrouping : std::numpunct<char> {
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
    char do_decimal_point() const override { return ','; }
};

std::locale GroupingLocale() { return std::locale(std::locale::classic(), new SGrouping); }

CVandrelParams Record(uint16_t depth, char remainder) {
    CVandrelParams params;
    params.maxDepth = depth;
    params.remainder = remainder;
    return params;
}

CVandrelParams Read(const std::string& text, CVandrelParams start = CVandrelParams()) {
    std::istringstream in(text);
    ReadPrefs(in, start);
    return start;
}

void ExpectFields(const CVandrelParams& p, uint16_t depth, char remainder) {
    EXPECT_EQ(p.signature, kPluginCode);
    EXPECT_EQ(p.version, kParamsVersion);
    EXPECT_EQ(p.maxDepth, depth);
    EXPECT_EQ(p.remainder, remainder);
}

TEST(PrefsText, NumbersIgnoreTheStreamsLocale) {
    std::ostringstream out;
    out.imbue(GroupingLocale());
    WritePrefs(out, Record(4096, 'W'));
    EXPECT_EQ(out.str(), std::to_string(kPluginCode) + " 1 4096 W ");

    std::istringstream in("1.449.423.468 1 5 W ");
    in.imbue(GroupingLocale());
    CVandrelParams params = Record(7, 'W');
    ReadPrefs(in, params);
    // Read as 1, which is no signature: the record falls back to defaults.
    ExpectFields(params, kDefaultMaxDepth, kLeaveBlack);
}

TEST(PrefsText, WhatIsWrittenReadsBackTheSame) {
    for (auto original :
         {Record(0, 'B'), Record(1, 'W'), Record(300, 'W'), Record(65535, 'B'), Record(9, 'x')}) {
        std::stringstream file;
        WritePrefs(file, original);
        const CVandrelParams back = Read(file.str());
        ExpectFields(back, original.maxDepth, original.remainder);
    }
}

TEST(PrefsText, AnotherVersionOrSignatureResetsTheRecord) {
    const std::string code = std::to_string(kPluginCode);
    for (const std::string& text :
         {code + " 2 42 W ", code + " 0 42 W ", std::to_string(kPluginCode + 1) + " 1 42 W ", "1 1 42 W "s,
          code + " 65537 42 W "}) {
        ExpectFields(Read(text, Record(42, 'W')), kDefaultMaxDepth, kLeaveBlack);
    }
}

TEST(PrefsText, AFirstFieldThatIsNoNumberResetsTheRecord) {
    for (const std::string& text :
         {"Vdrl 1 42 W"s, "B"s, "-"s, "\xEF\xBB\xBF" + std::to_string(kPluginCode) + " 1 42 W"}) {
        ExpectFields(Read(text, Record(42, 'W')), kDefaultMaxDepth, kLeaveBlack);
    }
}

// After a good signature and version, a field without a number becomes 0
// and stops the reading: the fields after it keep what they held.
TEST(PrefsText, AMalformedDepthIsTakenAsZeroAndStopsTheReading) {
    const std::string code = std::to_string(kPluginCode);
    ExpectFields(Read(code + " 1 deep W ", Record(42, 'W')), 0, 'W');
    ExpectFields(Read(code + " 1 deep B ", Record(42, 'W')), 0, 'W');
    // A depth with nothing after it: the remainder keeps its value.
    ExpectFields(Read(code + " 1 17", Record(42, 'W')), 17, 'W');
}

// Whatever the file holds, reading it neither throws nor leaves a record
// that is not valid.
TEST(PrefsText, HostileContentAlwaysLeavesAValidRecord) {
    std::mt19937 random(20190801);
    const std::string code = std::to_string(kPluginCode);
    const std::string pieces[] = {code,   " ",   "1",     "-1",        "99999999999999999999",
                                  "\n",   "W",   "+",     "0x1F",      "\0",
                                  "\xFF", "1e9", "65536", "4294967296"};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = int(random() % 12);
        for (int i = 0; i < length; ++i) {
            if (random() % 3 == 0)
                text += char(random() % 256);
            else
                text += pieces[random() % std::size(pieces)];
        }
        CVandrelParams params = Record(uint16_t(random()), 'W');
        EXPECT_NO_THROW({
            std::istringstream in(text);
            ReadPrefs(in, params);
        });
        ASSERT_TRUE(params.IsValid()) << '"' << text << '"';
    }
}

}  // namespace
