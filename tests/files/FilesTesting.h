// A private folder for each test of the tool's files, open to every user
// so that a run as another user can write its output there.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace files_testing {

// Address-space limits cannot be set under the sanitizers, whose shadow
// memory alone takes terabytes of it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizerBuild = true;
#else
constexpr bool kSanitizerBuild = false;
#endif

class FilesTest : public ::testing::Test {
protected:
    FilesTest();
    ~FilesTest() override;

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    // Every name in the folder, temporary files included.
    std::vector<std::string> Listing(const std::string& sub = "") const;

    std::filesystem::path folder_;
};

}  // namespace files_testing
