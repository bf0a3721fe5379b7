// The tool run as its users run it: a separate process with its own
// arguments, environment, exit status and output streams.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace cli_testing {

struct SToolRun {
    int status = -1;  // exit status, or 128 + signal when killed
    std::string out;
    std::string err;
};

// Environment changes: "NAME=value" sets, "-NAME" removes.
using EnvChanges = std::vector<std::string>;

class CToolChild {
public:
    CToolChild(const std::vector<std::string>& args, const EnvChanges& env = {});
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

SToolRun RunTool(const std::vector<std::string>& args, const EnvChanges& env = {});

// The tool with stderr and stdout on a terminal; returns what appeared there.
SToolRun RunToolOnTerminal(const std::vector<std::string>& args);

}  // namespace cli_testing
