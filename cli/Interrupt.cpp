#include "cli/Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

namespace cli {

namespace {

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler may only touch lock-free atomics");

std::atomic<int> gSignal{0};

// A path the handler can use without allocating: written only while its
// flag is down, read only while it is up.
struct SCleanupPath {
    char path[PATH_MAX] = "";
    std::atomic<bool> set{false};

    void Assign(const std::string& value) {
        set = false;
        if (value.empty() || value.size() >= sizeof path) return;
        std::memcpy(path, value.c_str(), value.size() + 1);
        set = true;
    }
};

SCleanupPath gFile;
SCleanupPath gFolder;

void OnSignal(int number) {
    int none = 0;
    if (gSignal.compare_exchange_strong(none, number)) return;
    if (gFile.set) ::unlink(gFile.path);
    if (gFolder.set) ::rmdir(gFolder.path);
    static const char kNote[] = "\nvandrel: stopped at once, nothing written\n";
    ssize_t ignored = ::write(STDERR_FILENO, kNote, sizeof kNote - 1);
    (void)ignored;
    ::_exit(128 + gSignal.load());
}

}  // namespace

void InstallInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes go on after the handler: stopping is decided at the
    // safe points, not by a failing system call.
    action.sa_flags = SA_RESTART;
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored at start stays ignored: nohup, and a shell
        // starting a job in the background, ask for exactly that.
        struct sigaction inherited {};
        if (::sigaction(number, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
        ::sigaction(number, &action, nullptr);
    }
    // Past the shell's file-size limit a write would otherwise kill the
    // program with its temporary file half written; ignored, the write fails
    // with EFBIG like any full disk and the file is removed.
    ::signal(SIGXFSZ, SIG_IGN);
    // A reader of stdout that goes away (`| head`) must not end the batch
    // with the pages not yet flatted: the failed write is reported instead.
    ::signal(SIGPIPE, SIG_IGN);
}

bool InterruptRequested() { return gSignal.load() != 0; }

int InterruptExitStatus() { return 128 + gSignal.load(); }

void SetCleanupFile(const std::string& path) { gFile.Assign(path); }
void SetCleanupFolder(const std::string& path) { gFolder.Assign(path); }

}  // namespace cli
