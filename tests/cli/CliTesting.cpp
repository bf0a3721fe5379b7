#include "tests/cli/CliTesting.h"

#include <stdlib.h>

#include <algorithm>

namespace cli_testing {

CliTest::CliTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vandrel-cli-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    folder_ = pattern;
}

CliTest::~CliTest() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> CliTest::Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace cli_testing
