#include "winhost/Check.h"

#include <cstdio>
#include <mutex>

namespace winhost {

namespace {
std::mutex gCheckMutex;
int gFailed = 0;
}  // namespace

void RecordCheck(bool passed, const char* file, int line, const std::string& what) {
    if (passed) return;
    std::lock_guard<std::mutex> lock(gCheckMutex);
    ++gFailed;
    std::fprintf(stderr, "%s:%d: FAILED: %s\n", file, line, what.c_str());
    std::fflush(stderr);
}

int FailedChecks() {
    std::lock_guard<std::mutex> lock(gCheckMutex);
    return gFailed;
}

std::vector<SScenario>& Scenarios() {
    static std::vector<SScenario> scenarios;
    return scenarios;
}

}  // namespace winhost
