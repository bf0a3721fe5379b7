#include "tests/support/ToolProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

extern char** environ;

namespace tool_testing {

namespace {

std::vector<std::string> Environment(const std::vector<std::string>& changes) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) env.emplace_back(*entry);
    for (const std::string& change : changes) {
        const bool remove = change[0] == '-';
        const std::string name = remove ? change.substr(1) : change.substr(0, change.find('='));
        std::erase_if(env,
                      [&](const std::string& e) { return e.compare(0, name.size() + 1, name + "=") == 0; });
        if (!remove) env.push_back(change);
    }
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

int Status(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw); }

}  // namespace

std::string ToolPath() { return VANDREL_TOOL_PATH; }

std::string FaultShimPreload() { return std::string("LD_PRELOAD=") + VANDREL_FAULT_SHIM_PATH; }

CToolChild::CToolChild(const std::vector<std::string>& args, const SToolSetup& setup) {
    std::vector<std::string> argv{ToolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = Environment(setup.env);
    std::vector<char*> argPointers = Pointers(argv), envPointers = Pointers(envp);
    const rlimit file{setup.fileBytes, setup.fileBytes};
    const rlimit address{setup.addressBytes, setup.addressBytes};
    int out[2], err[2], in[2] = {-1, -1};
    if (::pipe(out) != 0 || ::pipe(err) != 0 || (setup.stdinBytes && ::pipe(in) != 0))
        throw std::runtime_error("pipe");
    if (setup.stdinBytes) {
        // Small enough for the pipe's buffer: there whole, and at its end,
        // before the tool starts.
        const ssize_t wrote = ::write(in[1], setup.stdinBytes->data(), setup.stdinBytes->size());
        ::close(in[1]);
        in[1] = -1;
        if (wrote != ssize_t(setup.stdinBytes->size())) throw std::runtime_error("stdin");
    }
    const bool closedStdout = setup.stdoutTo == "closed";
    if (closedStdout) {
        ::close(out[0]);
        out[0] = -1;
    }
    const int stdoutFile =
        setup.stdoutTo.empty() || closedStdout ? -1 : ::open(setup.stdoutTo.c_str(), O_WRONLY);
    pid_ = ::fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls from here to exec.
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(in[0] >= 0 ? in[0] : null, 0);
        ::dup2(stdoutFile >= 0 ? stdoutFile : out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {null, out[0], out[1], err[0], err[1], in[0], in[1], stdoutFile})
            if (fd > 2) ::close(fd);
        // The file-size limit stands in for a full disk; the tool itself
        // must turn the signal it raises into a failed write. A shell's
        // child finds a closed pipe ending it by default.
        ::signal(SIGXFSZ, SIG_DFL);
        ::signal(SIGPIPE, SIG_DFL);
        // The tool as a user at a terminal starts it, even when the tests
        // themselves run as a background job, which ignores Ctrl-C.
        for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::signal(number, SIG_DFL);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int number : setup.ignoredSignals) ::signal(number, SIG_IGN);
        if (::setrlimit(RLIMIT_FSIZE, &file) != 0 || ::setrlimit(RLIMIT_AS, &address) != 0) ::_exit(126);
        if (setup.asNobody && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
        ::execve(argPointers[0], argPointers.data(), envPointers.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    if (stdoutFile >= 0) ::close(stdoutFile);
    outFd_ = out[0];
    errFd_ = err[0];
    if (in[0] >= 0) ::close(in[0]);
}

CToolChild::~CToolChild() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {outFd_, errFd_})
        if (fd >= 0) ::close(fd);
}

bool CToolChild::Pump(int timeoutMs) {
    if (outFd_ < 0 && errFd_ < 0) return false;
    // poll passes over negative descriptors.
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) <= 0) return true;
    std::string* sinks[2] = {&run_.out, &run_.err};
    int* owners[2] = {&outFd_, &errFd_};
    for (int i = 0; i < 2; ++i) {
        if (*owners[i] < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char buffer[4096];
        const ssize_t got = ::read(*owners[i], buffer, sizeof buffer);
        if (got > 0) {
            sinks[i]->append(buffer, size_t(got));
        } else {
            ::close(*owners[i]);
            *owners[i] = -1;
        }
    }
    return true;
}

bool CToolChild::WaitForError(const std::string& text, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (run_.err.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline || !Pump(50)) return false;
    }
    return true;
}

void CToolChild::Signal(int number) { ::kill(pid_, number); }

SToolRun CToolChild::Wait(int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (Pump(50)) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            run_.err += "\n[killed: still running after the test's time limit]";
            break;
        }
    }
    int raw = 0;
    rusage usage{};
    ::wait4(pid_, &raw, 0, &usage);
    pid_ = -1;
    run_.status = Status(raw);
    run_.maxRssKb = usage.ru_maxrss;
    return run_;
}

SToolRun RunTool(const std::vector<std::string>& args, const SToolSetup& setup) {
    return CToolChild(args, setup).Wait();
}

SToolRun RunToolOnTerminal(const std::vector<std::string>& args) {
    std::vector<std::string> argv{ToolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers = Pointers(argv);
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    SToolRun run;
    char buffer[4096];
    ssize_t got;
    // Reading the terminal ends in EIO once the child has gone.
    while ((got = ::read(terminal, buffer, sizeof buffer)) > 0) run.out.append(buffer, size_t(got));
    ::close(terminal);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    run.status = Status(raw);
    return run;
}

}  // namespace tool_testing
