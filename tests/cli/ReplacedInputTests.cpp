// An input saved over by another program while the tool reads it (editors
// save to a new file and rename it over the old): the page is the file as
// it was opened, never rows of both.
#include "tests/support/ToolTest.h"

namespace tool_testing {
namespace {

using ReplacedInput = ToolTest;

SPicture Plain(int width, int height, uint8_t red, uint8_t blue) {
    SPicture page{width, height, 3, {}};
    for (int i = 0; i < width * height; ++i) page.samples.insert(page.samples.end(), {red, 40, blue});
    return page;
}

TEST_F(ReplacedInput, ATiffReplacedWhileItIsReadIsReadAsItWasOpened) {
    if (kSanitizerBuild) GTEST_SKIP() << "the sanitizers' runtime must be the first library loaded";
    const SPicture before = Plain(32, 256, 250, 10), after = Plain(32, 256, 10, 250);
    SaveTiff(Path("page.tif"), before);
    const std::string replaced = ReadBytes(Path("page.tif"));
    for (const char* processors : {"VANDREL_PROCESSORS=1", "VANDREL_PROCESSORS=4"}) {
        WriteBytes(Path("page.tif"), replaced);
        SaveTiff(Path("new.tif"), after);
        // The second open is the reader's own, after the format was told.
        const SToolRun run =
            RunTool({"flat", Path("page.tif"), "-o", Path("flat.tif"), "--overwrite"},
                    {.env = {FaultShimPreload(), processors, "VANDREL_FAULT_SWAP_PATH=" + Path("page.tif"),
                             "VANDREL_FAULT_SWAP_WITH=" + Path("new.tif"), "VANDREL_FAULT_SWAP_AFTER=2"}});
        ASSERT_EQ(run.status, 0) << processors << ": " << run.err;
        ASSERT_FALSE(std::filesystem::exists(Path("new.tif"))) << "the file was never replaced";
        EXPECT_EQ(LoadTiff(Path("flat.tif")), before) << processors;
    }
}

}  // namespace
}  // namespace tool_testing
