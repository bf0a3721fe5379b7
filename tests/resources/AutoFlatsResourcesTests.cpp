// Vandrel Auto Flats' PiPL and terminology: a filter of its own under the
// same maker's category, with its own code and keys, and Vandrel Pro's
// resources untouched by it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/AutoFlatsCodes.h"
#include "resources/PluginCodes.h"
#include "resources/PluginResources.h"

namespace {

bool Holds(const std::vector<uint8_t>& bytes, const std::string& text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

std::string Pascal(const std::string& text) { return std::string(1, char(text.size())) + text; }

std::string Code(uint32_t code) { return {char(code >> 24), char(code >> 16), char(code >> 8), char(code)}; }

}  // namespace

TEST(AutoFlatsResources, ThePiPLNamesTheSecondFilterUnderTirrowWithItsOwnCode) {
    for (EntryArch arch : {EntryArch::X86, EntryArch::X64}) {
        const std::vector<uint8_t> pipl = BuildAutoFlatsPiPL(arch);
        EXPECT_TRUE(Holds(pipl, Pascal("Vandrel Auto Flats")));
        EXPECT_TRUE(Holds(pipl, Pascal("Tirrow")));
        EXPECT_TRUE(Holds(pipl, "PluginMain"));
        EXPECT_TRUE(Holds(pipl, Code(kAutoFlatsCode) + Code(kAutoFlatsCode)));
        EXPECT_FALSE(Holds(pipl, Code(kPluginCode)));
        // The same images and layers as Vandrel Pro's.
        EXPECT_TRUE(Holds(pipl, "in (PSHOP_ImageMode, RGBMode, CMYKMode)"));
    }
}

TEST(AutoFlatsResources, TheTerminologyDeclaresItsThreeKeys) {
    const std::vector<uint8_t> aete = BuildAutoFlatsTerminology();
    EXPECT_TRUE(Holds(aete, Pascal("Maximum Gap") + Code(kKeyMaxGap) + Code(host::typeInteger)));
    EXPECT_TRUE(Holds(aete, Pascal("Smallest Region") + Code(kKeyMinRegion) + Code(host::typeInteger)));
    EXPECT_TRUE(Holds(
        aete, Pascal("Spot Blacks As Regions") + Code(kKeySpotBlacksRegions) + Code(host::typeBoolean)));
    EXPECT_FALSE(Holds(aete, Code(kKeyMaxDepth)));
}
