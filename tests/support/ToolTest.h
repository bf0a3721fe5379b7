// What every test of the command-line tool shares: a private folder for
// its files and the colours its small pictures are drawn with.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/HandMadeFiles.h"
#include "tests/support/PictureFiles.h"
#include "tests/support/ToolProcess.h"

namespace tool_testing {

// Address-space limits cannot be set under the sanitizers, whose shadow
// memory alone takes terabytes of it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizerBuild = true;
#else
constexpr bool kSanitizerBuild = false;
#endif

// RGB, with 'k' the darkest value that still counts as line art and 'n'
// the lightest that does not.
inline const std::map<char, std::vector<uint8_t>> kRgb = {
    {'#', {0, 0, 0}},   {'k', {8, 8, 8}},     {'n', {9, 0, 0}},       {'r', {255, 0, 0}},
    {'b', {0, 0, 255}}, {'y', {255, 255, 0}}, {'.', {255, 255, 255}},
};

// The folder is open to every user, so that a run as another user can
// write its output there.
class ToolTest : public ::testing::Test {
protected:
    ToolTest();
    ~ToolTest() override;

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    // Every name in the folder (or one below it), hidden temporary files included.
    std::vector<std::string> Listing(const std::string& sub = "") const;

    std::filesystem::path folder_;
};

}  // namespace tool_testing
