#include "tests/support/ToolTest.h"

#include <stdlib.h>

#include <algorithm>
#include <stdexcept>

namespace tool_testing {

ToolTest::ToolTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vandrel-tool-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    folder_ = pattern;
    std::filesystem::permissions(folder_, std::filesystem::perms::all);
}

ToolTest::~ToolTest() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> ToolTest::Listing(const std::string& sub) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ / sub))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace tool_testing
