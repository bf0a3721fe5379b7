// What every test of the tool shares: a private folder for its files and
// the colours its small pictures are drawn with.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/cli/ImageFixtures.h"
#include "tests/cli/ToolProcess.h"

namespace cli_testing {

// RGB, with 'k' the darkest value that still counts as line art and 'n'
// the lightest that does not.
inline const std::map<char, std::vector<uint8_t>> kRgb = {
    {'#', {0, 0, 0}},   {'k', {8, 8, 8}},     {'n', {9, 0, 0}},       {'r', {255, 0, 0}},
    {'b', {0, 0, 255}}, {'y', {255, 255, 0}}, {'.', {255, 255, 255}},
};

class CliTest : public ::testing::Test {
protected:
    CliTest();
    ~CliTest() override;

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    // Names in the folder, hidden ones (temporary files) included.
    std::vector<std::string> Listing() const;

    std::filesystem::path folder_;
};

}  // namespace cli_testing
