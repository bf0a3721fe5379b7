// The property list, read as a host reads it: header, then vendor, key,
// ID, length and content for each property.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/PluginResources.h"
#include "resources/ResourceWriter.h"
#include "tests/resources/ByteCursor.h"
#include "params/VandrelParams.h"

using namespace std::string_literals;

namespace {

struct Property {
    std::size_t offset;  // of the vendor code within the PiPL
    std::string vendor, key;
    uint32_t id;
    std::vector<uint8_t> content;
};

struct PiPL {
    uint16_t reserved;
    uint32_t version, count;
    std::vector<Property> properties;

    const Property& operator[](const std::string& key) const {
        auto found = std::find_if(properties.begin(), properties.end(),
                                  [&](const Property& p) { return p.key == key; });
        if (found == properties.end()) throw std::out_of_range("no property " + key);
        return *found;
    }
};

PiPL Read(const std::vector<uint8_t>& bytes) {
    CByteCursor in(bytes);
    PiPL pipl{in.U16(), in.U32(), in.U32(), {}};
    for (uint32_t i = 0; i < pipl.count; ++i) {
        Property p;
        p.offset = in.Position();
        p.vendor = in.Code();
        p.key = in.Code();
        p.id = in.U32();
        p.content = in.Bytes(in.U32());
        pipl.properties.push_back(p);
    }
    EXPECT_TRUE(in.AtEnd()) << "bytes after the last property";
    return pipl;
}

std::string Reversed(std::string text) { return {text.rbegin(), text.rend()}; }

}  // namespace

TEST(PiPL, HeaderAndNinePropertiesInOrder) {
    const std::vector<uint8_t> bytes = BuildPiPL(EntryArch::X86);
    ASSERT_EQ(bytes.size(), 298u);
    const PiPL pipl = Read(bytes);
    EXPECT_EQ(pipl.reserved, 1);
    EXPECT_EQ(pipl.version, 0u);
    ASSERT_EQ(pipl.count, 9u);

    const std::vector<std::pair<std::string, std::size_t>> expected = {
        {"kind", 4},  {"name", 20}, {"catg", 8},  {"vers", 4},  {"wx86", 12},
        {"hstm", 20}, {"mode", 4},  {"enbl", 44}, {"fici", 28},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Property& p = pipl.properties[i];
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(p.vendor, "8BIM");
        EXPECT_EQ(p.key, expected[i].first);
        EXPECT_EQ(p.id, 0u);
        EXPECT_EQ(p.content.size(), expected[i].second);
    }
}

TEST(PiPL, CodesAreStoredLittleEndianWithTheFirstCharacterInTheTopByte) {
    const std::vector<uint8_t> bytes = BuildPiPL(EntryArch::X86);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.substr(10, 8), "MIB8dnik");
    EXPECT_EQ(Read(bytes)["kind"].content, BytesOf("MFB8"));

    const std::string code = VANDREL_PLUGIN_CODE_TEXT;
    const std::vector<uint8_t> hstm = Read(bytes)["hstm"].content;
    EXPECT_EQ(std::string(hstm.begin() + 4, hstm.begin() + 8), Reversed(code));
    EXPECT_EQ(kPluginCode,
              uint32_t(code[0]) << 24 | uint32_t(code[1]) << 16 | uint32_t(code[2]) << 8 | code[3]);
}

TEST(PiPL, MenuEntryVersionAndModes) {
    const PiPL pipl = Read(BuildPiPL(EntryArch::X86));
    EXPECT_EQ(pipl["name"].content, BytesOf("\x10Vandrel Pro v2.1\0\0\0"s));
    EXPECT_EQ(pipl["catg"].content, BytesOf("\x06Tirrow\0"s));
    EXPECT_EQ(pipl["vers"].content, (std::vector<uint8_t>{0x00, 0x00, 0x04, 0x00}));
    EXPECT_EQ(pipl["wx86"].content, BytesOf("PluginMain\0\0"s));
    // RGB (0x10) and CMYK (0x08) at 8 bits per channel, nothing else.
    EXPECT_EQ(pipl["mode"].content, (std::vector<uint8_t>{0x18, 0x00, 0x00, 0x00}));
}

TEST(PiPL, EnableConditionIsTerminatedAndPadded) {
    const std::vector<uint8_t> enbl = Read(BuildPiPL(EntryArch::X86))["enbl"].content;
    EXPECT_EQ(enbl, BytesOf("in (PSHOP_ImageMode, RGBMode, CMYKMode)\0\0\0\0\0"s));
}

TEST(PiPL, FilterCasesRefuseProtectedTransparencyAndZapEditableTransparencyWhite) {
    const std::vector<uint8_t> fici = Read(BuildPiPL(EntryArch::X86))["fici"].content;
    const std::vector<uint8_t> expected = {
        1, 1, 0, 0,  // flat image, no selection
        1, 1, 0, 0,  // flat image, with selection
        1, 1, 0, 0,  // floating selection
        8, 9, 0, 0,  // editable transparency, no selection: white zap in, fill mask out
        8, 9, 0, 0,  // editable transparency, with selection
        0, 0, 0, 0,  // protected transparency: cannot filter
        0, 0, 0, 0,
    };
    EXPECT_EQ(fici, expected);
}

TEST(PiPL, TerminologyLinkNamesTheTerminologyResourceAndThePluginEvent) {
    const std::vector<uint8_t> hstm = Read(BuildPiPL(EntryArch::X86))["hstm"].content;
    CByteCursor in(hstm);
    EXPECT_EQ(in.U32(), 0u);
    EXPECT_EQ(in.Code(), VANDREL_PLUGIN_CODE_TEXT);
    EXPECT_EQ(in.Code(), VANDREL_PLUGIN_CODE_TEXT);
    EXPECT_EQ(in.U16(), 16000);
    // The empty scope string and the padding: six zero bytes in all.
    EXPECT_EQ(in.Bytes(6), std::vector<uint8_t>(6, 0));
    EXPECT_TRUE(in.AtEnd());
}

TEST(PiPL, X64BuildDiffersOnlyInTheEntryPointKey) {
    const std::vector<uint8_t> x86 = BuildPiPL(EntryArch::X86);
    const std::vector<uint8_t> x64 = BuildPiPL(EntryArch::X64);
    ASSERT_EQ(x86.size(), x64.size());
    const std::size_t key = Read(x86)["wx86"].offset + 4;
    std::vector<std::size_t> differing;
    for (std::size_t i = 0; i < x86.size(); ++i)
        if (x86[i] != x64[i]) differing.push_back(i);
    EXPECT_EQ(differing, (std::vector<std::size_t>{key, key + 1, key + 2, key + 3}));
    EXPECT_EQ(std::string(x64.begin() + std::ptrdiff_t(key), x64.begin() + std::ptrdiff_t(key) + 4), "4668");
    EXPECT_EQ(Read(x64).properties[4].key, "8664");
}

TEST(ResourceWriter, StringsGetAtLeastOneZeroByteUpToAMultipleOfFour) {
    for (std::size_t length = 0; length < 9; ++length) {
        CResourceWriter out;
        out.Int8(0xFF);  // strings need not start aligned
        out.CString(std::string(length, 'x'));
        out.PadString(1);
        const std::size_t stringSize = out.Size() - 1;
        SCOPED_TRACE(length);
        EXPECT_EQ(stringSize % 4, 0u);
        EXPECT_GE(stringSize, length + 2);  // terminator and at least one pad byte
        EXPECT_LE(stringSize, length + 5);
    }
}

TEST(ResourceWriter, RefusesPascalStringsLongerThanTheirLengthByte) {
    CResourceWriter out;
    EXPECT_NO_THROW(out.PascalString(std::string(255, 'a')));
    EXPECT_THROW(out.PascalString(std::string(256, 'a')), std::length_error);
}
