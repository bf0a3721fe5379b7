#include "tests/engine/LiveThreads.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace threads_testing {

namespace {

// The state letter follows the parenthesised name, which may itself hold
// spaces and parentheses.
char TaskState(const std::filesystem::path& task) {
    std::ifstream stat(task / "stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
}

}  // namespace

int LiveThreads() {
    // ThreadSanitizer starts a helper thread of its own when the program
    // creates its first thread; have that happen before anything is counted.
    static const bool settled = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)settled;
    int live = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        const char state = TaskState(task.path());
        // A task gone between listing and reading has exited too.
        if (state != 'Z' && state != 'X' && state != '?') ++live;
    }
    return live;
}

}  // namespace threads_testing
