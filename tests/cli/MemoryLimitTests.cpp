// The memory limits the tool reads: control groups of either version, as
// the kernel shows them, and what the other pages of a batch hold.
#include <filesystem>

#include "cli/ImageError.h"
#include "cli/ImageLimits.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

namespace fs = std::filesystem;

using MemoryLimit = ToolTest;

constexpr uint64_t kMegabyte = uint64_t(1) << 20;

// A control group's files, as the kernel shows them under the root given.
void WriteLimit(const std::string& folder, const std::string& file, const std::string& value) {
    fs::create_directories(folder);
    WriteBytes(folder + "/" + file, value + "\n");
}

// Version 1 keeps memory in a hierarchy of its own, whose limit is
// memory.limit_in_bytes (a page-rounded 2^63 when there is none).
TEST_F(MemoryLimit, AVersionOneLimitIsSeen) {
    const std::string root = Path("cgroup");
    WriteLimit(root + "/memory/job/step", "memory.limit_in_bytes", std::to_string(300 * kMegabyte));
    WriteLimit(root + "/memory/job", "memory.limit_in_bytes", "9223372036854771712");
    const std::string membership = "12:pids:/job/step\n4:memory:/job/step\n1:name=systemd:/job/step\n";
    EXPECT_EQ(cli::ControlGroupMemoryLimit(membership, root), 300 * kMegabyte);
    // A container sees its own group as the root of the hierarchy.
    WriteLimit(root + "/memory", "memory.limit_in_bytes", std::to_string(200 * kMegabyte));
    EXPECT_EQ(cli::ControlGroupMemoryLimit("4:memory:/\n", root), 200 * kMegabyte);
}

// Version 2 has one hierarchy; a group's memory.max ("max": none) holds
// for everything below it, so the least limit on the way up counts.
TEST_F(MemoryLimit, AVersionTwoLimitAnywhereAboveIsSeen) {
    const std::string root = Path("cgroup");
    WriteLimit(root + "/user.slice", "memory.max", std::to_string(500 * kMegabyte));
    WriteLimit(root + "/user.slice/session", "memory.max", "max");
    EXPECT_EQ(cli::ControlGroupMemoryLimit("0::/user.slice/session\n", root), 500 * kMegabyte);
    WriteLimit(root, "memory.max", std::to_string(100 * kMegabyte));
    EXPECT_EQ(cli::ControlGroupMemoryLimit("0::/\n", root), 100 * kMegabyte);
    EXPECT_EQ(cli::ControlGroupMemoryLimit("0::/elsewhere\n", root), 100 * kMegabyte);
}

TEST_F(MemoryLimit, NoLimitAndNonsenseMeanNoLimit) {
    const std::string root = Path("cgroup");
    WriteLimit(root + "/a", "memory.max", "max");
    WriteLimit(root + "/memory/b", "memory.limit_in_bytes", "lots");
    for (const char* membership : {"0::/a\n", "3:memory:/b\n", "", "garbage", "0::/../../etc\n"})
        EXPECT_EQ(cli::ControlGroupMemoryLimit(membership, root), UINT64_MAX) << membership;
}

// A batch reads the next page while one is flatted: what that one holds
// is not there for the next.
TEST_F(MemoryLimit, WhatOtherPagesHoldIsNotThereForThisOne) {
    EXPECT_NO_THROW(cli::CheckPageFits(1024, 1024 / 3 + 1, 3, false));
    cli::SetMemoryHeldElsewhere(cli::MemoryAvailable());
    EXPECT_THROW(cli::CheckPageFits(1024, 1024 / 3 + 1, 3, false), cli::CImageError);
    cli::SetMemoryHeldElsewhere(0);
    EXPECT_NO_THROW(cli::CheckPageFits(1024, 1024 / 3 + 1, 3, false));
}

}  // namespace
