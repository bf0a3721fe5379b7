// The tool run as its users run it: a separate process with its own
// arguments, environment, exit status and output streams, under limits a
// test chooses: a largest file size (a full disk), an address-space limit
// (a machine out of memory), another user.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tool_testing {

struct SToolSetup {
    // Environment changes: "NAME=value" sets, "-NAME" removes.
    std::vector<std::string> env{};
    rlim_t fileBytes = RLIM_INFINITY;         // past this, writes fail with EFBIG
    rlim_t addressBytes = RLIM_INFINITY;      // past this, allocations fail
    bool asNobody = false;                    // drop root's right to read any file
    std::vector<int> ignoredSignals{};        // ignored from the start, as nohup does
    std::optional<std::string> stdinBytes{};  // stdin: a pipe carrying these; else /dev/null
    // stdout: this file (say /dev/full) rather than the pipe the test reads;
    // "closed": a pipe whose reader has gone.
    std::string stdoutTo{};
};

struct SToolRun {
    int status = -1;  // exit status, or 128 + signal when killed
    std::string out;
    std::string err;
    long maxRssKb = 0;
};

// The tool built beside the plug-in the tests load.
std::string ToolPath();

// "LD_PRELOAD=" the library that brings faults about in the tool's process
// (see FaultShim.cpp for the settings that ask for each).
std::string FaultShimPreload();

class CToolChild {
public:
    explicit CToolChild(const std::vector<std::string>& args, const SToolSetup& setup = {});
    ~CToolChild();  // kills a child still running
    CToolChild(const CToolChild&) = delete;
    CToolChild& operator=(const CToolChild&) = delete;

    // Reads until stderr holds `text`; false when the child ends or the time runs out first.
    bool WaitForError(const std::string& text, int seconds);
    void Signal(int number);
    // Reads to the end and reaps the child; kills it after `seconds`.
    SToolRun Wait(int seconds = 120);

private:
    bool Pump(int timeoutMs);  // false once both streams are closed

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    SToolRun run_;
};

SToolRun RunTool(const std::vector<std::string>& args, const SToolSetup& setup = {});

// The tool with stderr and stdout on a terminal; returns what appeared there.
SToolRun RunToolOnTerminal(const std::vector<std::string>& args);

}  // namespace tool_testing
