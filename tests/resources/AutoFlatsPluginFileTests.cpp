// Static checks of Vandrel Auto Flats' Windows files, which the Windows
// presets build beside Vandrel Pro's: what a host reads before calling it.
// A test skips when its build is absent.
#include <gtest/gtest.h>

#include <filesystem>

#include "resources/PluginResources.h"
#include "tests/resources/PeImage.h"

#ifndef VANDREL_WINDOWS_X86_PLUGIN
#define VANDREL_WINDOWS_X86_PLUGIN ""
#endif
#ifndef VANDREL_WINDOWS_X64_PLUGIN
#define VANDREL_WINDOWS_X64_PLUGIN ""
#endif

namespace {

struct SAutoFlatsBuild {
    EntryArch arch;
    const char* vandrelProPath;
    uint16_t machine;
};

class AutoFlatsPluginFile : public ::testing::TestWithParam<SAutoFlatsBuild> {};

}  // namespace

TEST_P(AutoFlatsPluginFile, ExportsOnlyPluginMainAndCarriesItsOwnResources) {
    const std::filesystem::path path =
        std::filesystem::path(GetParam().vandrelProPath).parent_path() / "Vandrel Auto Flats.8bf";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no Windows build at " << path;
    const CPeImage image = CPeImage::Load(path);
    EXPECT_EQ(image.Machine(), GetParam().machine);
    EXPECT_TRUE(image.IsDll());
    EXPECT_EQ(image.ExportedNames(), std::vector<std::string>{"PluginMain"});
    // Statically linked: no mingw runtime (libstdc++, libgcc, libwinpthread)
    // has to sit beside the file.
    for (const std::string& dll : image.ImportedDlls()) EXPECT_NE(dll.rfind("lib", 0), 0u) << dll;
    EXPECT_EQ(image.FindResource(kPiPLResourceType, kPluginResourceID, kResourceLanguage),
              BuildAutoFlatsPiPL(GetParam().arch));
    EXPECT_EQ(image.FindResource(kTerminologyResourceType, kPluginResourceID, kResourceLanguage),
              BuildAutoFlatsTerminology());
}

INSTANTIATE_TEST_SUITE_P(
    Builds, AutoFlatsPluginFile,
    ::testing::Values(SAutoFlatsBuild{EntryArch::X86, VANDREL_WINDOWS_X86_PLUGIN, CPeImage::kMachineI386},
                      SAutoFlatsBuild{EntryArch::X64, VANDREL_WINDOWS_X64_PLUGIN, CPeImage::kMachineAmd64}));
