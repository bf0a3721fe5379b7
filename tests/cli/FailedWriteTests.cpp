// A disk that fills up while the tool writes its output: the run fails
// with the reason, and no output, whole or partial, is left behind.
#include <sched.h>
#include <sys/mount.h>

#include "tests/support/ToolTest.h"

namespace tool_testing {
namespace {

class FullDisk : public ToolTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override { WriteBytes(Path("page.png"), PngFile(NoisyPage(256, 256, 7))); }
    std::string Output() const { return std::string("flat.") + GetParam(); }
};

// The file-size limit makes every write past it fail: a disk that fills
// after a few kilobytes of the output.
TEST_P(FullDisk, AWriteThatFailsLeavesNoOutput) {
    for (rlim_t limit : {rlim_t(0), rlim_t(1024), rlim_t(16 * 1024), rlim_t(150 * 1024)}) {
        SToolSetup limits;
        limits.fileBytes = limit;
        const SToolRun run = RunTool({"flat", Path("page.png"), "-o", Path(Output())}, limits);
        EXPECT_EQ(run.status, 1) << limit << ": " << run.err;
        EXPECT_NE(run.err.find(Path("page.png")), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("cannot write: File too large"), std::string::npos)
            << "the system's reason: " << run.err;
        EXPECT_EQ(Listing(), std::vector<std::string>{"page.png"})
            << "after a limit of " << limit << " bytes";
    }
    // Without the limit the same run writes its output.
    const SToolRun run = RunTool({"flat", Path("page.png"), "-o", Path(Output())});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Listing(), (std::vector<std::string>{Output(), "page.png"}));
}

// A real file system that runs out of space: a small tmpfs mounted in a
// mount namespace of this test's own, where the system allows it.
TEST_P(FullDisk, AFileSystemThatRunsOutOfSpaceLeavesNoOutput) {
    const std::string small = Path("small");
    std::filesystem::create_directory(small);
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0)
        GTEST_SKIP() << "no permission to mount a file system here";
    const SToolRun run = RunTool({"flat", Path("page.png"), "-o", small + "/" + Output()});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
    EXPECT_TRUE(Listing("small").empty());
    ::umount(small.c_str());
}

INSTANTIATE_TEST_SUITE_P(Formats, FullDisk, ::testing::Values("png", "tif"));

}  // namespace
}  // namespace tool_testing
