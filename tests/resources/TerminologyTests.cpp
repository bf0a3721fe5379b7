// The scripting terminology, walked field by field as a host parses it:
// no alignment between fields, so a single stray byte shifts everything
// after it.
#include <gtest/gtest.h>

#include "resources/PluginResources.h"
#include "tests/resources/ByteCursor.h"
#include "params/ScriptParams.h"

namespace {

std::string Text(uint32_t code) { return {char(code >> 24), char(code >> 16), char(code >> 8), char(code)}; }

struct Parameter {
    std::string name, key, type, description;
    uint16_t flags;
};

Parameter ReadParameter(CByteCursor& in) {
    Parameter p;
    p.name = in.Pascal();
    p.key = in.Code();
    p.type = in.Code();
    p.description = in.Pascal();
    p.flags = in.U16();
    return p;
}

}  // namespace

TEST(Terminology, OneSuiteWithOneEventAndItsTwoParameters) {
    const std::vector<uint8_t> bytes = BuildTerminology();
    ASSERT_EQ(bytes.size(), 221u);
    CByteCursor in(bytes);

    EXPECT_EQ(in.U16(), 1);  // reserved
    EXPECT_EQ(in.U8(), 1);   // major version
    EXPECT_EQ(in.U8(), 0);   // minor version
    EXPECT_EQ(in.U16(), 0);  // English
    EXPECT_EQ(in.U16(), 0);  // Roman
    EXPECT_EQ(in.U16(), 1);  // suites

    EXPECT_EQ(in.Pascal(), "Tirrow");
    EXPECT_EQ(in.Pascal(), "plug-ins");
    EXPECT_EQ(in.Code(), VANDREL_PLUGIN_CODE_TEXT);
    EXPECT_EQ(in.U16(), 1);  // level
    EXPECT_EQ(in.U16(), 1);  // version
    EXPECT_EQ(in.U16(), 1);  // events

    EXPECT_EQ(in.Pascal(), "Tirrow Vandrel Pro");
    EXPECT_EQ(in.Pascal(), "A flatting filter.");
    EXPECT_EQ(in.Code(), VANDREL_PLUGIN_CODE_TEXT);  // class
    EXPECT_EQ(in.Code(), VANDREL_PLUGIN_CODE_TEXT);  // ID
    EXPECT_EQ(in.Code(), "null");                    // no reply
    EXPECT_EQ(in.Pascal(), "");
    EXPECT_EQ(in.U16(), 0);
    EXPECT_EQ(in.Code(), "#ImR");
    EXPECT_EQ(in.Pascal(), "");
    EXPECT_EQ(in.Bytes(2), (std::vector<uint8_t>{0x00, 0xB0}));  // optional, enumerated, changes state

    ASSERT_EQ(in.U16(), 2);
    const Parameter depth = ReadParameter(in);
    EXPECT_EQ(depth.name, "Maximum Depth");
    EXPECT_EQ(depth.key, "MxLv");
    EXPECT_EQ(depth.type, "long");
    EXPECT_EQ(depth.description, "Maximum paint depth level");
    EXPECT_EQ(depth.flags, 0);
    const Parameter white = ReadParameter(in);
    EXPECT_EQ(white.name, "Paint Remainder White");
    EXPECT_EQ(white.key, "SkCo");
    EXPECT_EQ(white.type, "bool");
    EXPECT_EQ(white.description, "Paint remaining black pixels white");
    EXPECT_EQ(white.flags, 0);

    EXPECT_EQ(in.U16(), 0);  // classes
    EXPECT_EQ(in.U16(), 0);  // comparison operators
    EXPECT_EQ(in.U16(), 0);  // enumerations
    EXPECT_TRUE(in.AtEnd());
}

// Actions record and replay the descriptor under the keys the terminology
// declares; a key renamed on one side only would lose the parameter.
TEST(Terminology, DeclaresTheKeysTheDescriptorExchangeUses) {
    const std::vector<uint8_t> bytes = BuildTerminology();
    const std::string text(bytes.begin(), bytes.end());
    auto stored = [](uint32_t code) {
        const std::string t = Text(code);
        return std::string(t.rbegin(), t.rend());
    };
    EXPECT_NE(text.find(stored(kKeyMaxDepth) + stored(host::typeInteger)), std::string::npos);
    EXPECT_NE(text.find(stored(kKeyPaintWhite) + stored(host::typeBoolean)), std::string::npos);
}
