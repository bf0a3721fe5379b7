#include "tests/files/ToolRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "sim/PluginLibrary.h"

namespace files_testing {

std::string ToolPath() {
    return (std::filesystem::path(sim::DefaultPluginPath()).parent_path() / "vandrel").string();
}

SToolResult RunTool(const std::vector<std::string>& args, const SToolLimits& limits, int seconds) {
    std::vector<std::string> argv{ToolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);

    int err[2];
    if (::pipe(err) != 0) throw std::runtime_error("pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(err[1], 2);
        ::close(err[0]);
        ::close(err[1]);
        // The file-size limit stands in for a full disk; the tool itself
        // must turn the signal it raises into a failed write.
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit file{limits.fileBytes, limits.fileBytes};
        const rlimit address{limits.addressBytes, limits.addressBytes};
        if (::setrlimit(RLIMIT_FSIZE, &file) != 0 || ::setrlimit(RLIMIT_AS, &address) != 0) ::_exit(126);
        if (limits.asNobody && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    ::close(err[1]);

    SToolResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            result.err += "[killed: still running after the test's time limit]";
            break;
        }
        pollfd fd{err[0], POLLIN, 0};
        if (::poll(&fd, 1, int(std::min<long>(left.count(), 1000))) <= 0) continue;
        const ssize_t n = ::read(err[0], buffer, sizeof buffer);
        if (n <= 0) break;
        result.err.append(buffer, size_t(n));
    }
    ::close(err[0]);
    int raw = 0;
    rusage usage{};
    ::wait4(pid, &raw, 0, &usage);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    result.maxRssKb = usage.ru_maxrss;
    return result;
}

}  // namespace files_testing
