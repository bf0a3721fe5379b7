// The command-line tool run as a separate process under limits a test
// chooses: a largest file size (a full disk), an address-space limit (a
// machine out of memory), another user.
#pragma once

#include <sys/resource.h>

#include <string>
#include <vector>

namespace files_testing {

struct SToolLimits {
    rlim_t fileBytes = RLIM_INFINITY;     // past this, writes fail with EFBIG
    rlim_t addressBytes = RLIM_INFINITY;  // past this, allocations fail
    bool asNobody = false;                // drop root's right to read any file
};

struct SToolResult {
    int status = -1;  // exit status, or 128 + signal
    std::string err;
    long maxRssKb = 0;
};

// The tool built beside the plug-in the tests load.
std::string ToolPath();

SToolResult RunTool(const std::vector<std::string>& args, const SToolLimits& limits = {}, int seconds = 120);

}  // namespace files_testing
