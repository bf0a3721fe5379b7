#include "cli/Interrupt.h"

#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>

#include "cli/WriteAll.h"

namespace cli {

namespace {

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler may only touch lock-free atomics");

std::atomic<int> gSignal{0};

// A text the handler can use without allocating: written only while its
// flag is down, read only while it is up.
template <size_t Size>
struct SHandlerText {
    char text[Size] = "";
    std::atomic<bool> set{false};

    void Assign(const std::string& value) {
        set = false;
        if (value.empty() || value.size() >= sizeof text) return;
        std::memcpy(text, value.c_str(), value.size() + 1);
        set = true;
    }
};

// A page's outputs are written at once, each under its temporary name:
// the handler must know them all. A slot is claimed before its path is
// copied in, so that two threads never share one.
constexpr int kCleanupSlots = 8;
struct SCleanupSlot {
    std::atomic<bool> claimed{false};
    SHandlerText<PATH_MAX> file;
};
SCleanupSlot gFiles[kCleanupSlots];

SHandlerText<PATH_MAX> gFolder;
// The lines stdout owes for files already in place: all of a page's
// outputs, which are put in place together.
SHandlerText<kCleanupSlots*(PATH_MAX + 8)> gUnlisted;
// What gUnlisted holds: owed by the thread writing a page, paid by the one
// reporting it.
std::string gOwed;
std::mutex gOwedLock;
std::atomic<bool> gListedAny{false};
std::atomic<int> gHeld{0};

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnSignal(int number) {
    int none = 0;
    if (gSignal.compare_exchange_strong(none, number)) return;
    // The thread inside a held step has these signals blocked, so this is
    // another thread, and the step ends soon: a rename, or a line written.
    for (int waited = 0; gHeld.load() > 0 && waited < 5000; ++waited) {
        const timespec millisecond{0, 1000000};
        ::nanosleep(&millisecond, nullptr);
    }
    for (const SCleanupSlot& slot : gFiles)
        if (slot.file.set) ::unlink(slot.file.text);
    if (gFolder.set) ::rmdir(gFolder.text);
    if (gUnlisted.set) {
        WriteAll(STDOUT_FILENO, gUnlisted.text, std::strlen(gUnlisted.text));
        gListedAny = true;
    }
    static const char kNothing[] = "\nvandrel: stopped at once, nothing written\n";
    static const char kNothingMore[] = "\nvandrel: stopped at once, nothing more written\n";
    if (gListedAny)
        WriteAll(STDERR_FILENO, kNothingMore, sizeof kNothingMore - 1);
    else
        WriteAll(STDERR_FILENO, kNothing, sizeof kNothing - 1);
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
    for (int number : kStopSignals) {
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

int AddCleanupFile(const std::string& path) {
    for (int i = 0; i < kCleanupSlots; ++i) {
        bool free = false;
        if (!gFiles[i].claimed.compare_exchange_strong(free, true)) continue;
        gFiles[i].file.Assign(path);
        return i;
    }
    return -1;
}

void DropCleanupFile(int slot) {
    if (slot < 0 || slot >= kCleanupSlots) return;
    gFiles[slot].file.Assign("");
    gFiles[slot].claimed = false;
}

void SetCleanupFolder(const std::string& path) { gFolder.Assign(path); }

void OweListing(const std::string& lines) {
    const std::lock_guard<std::mutex> lock(gOwedLock);
    gOwed += lines;
    gUnlisted.Assign(gOwed);
}

void PaidListing(const std::string& line) {
    const std::lock_guard<std::mutex> lock(gOwedLock);
    if (gOwed.compare(0, line.size(), line) == 0)
        gOwed.erase(0, line.size());
    else
        gOwed.clear();
    gUnlisted.Assign(gOwed);
}
void NoteListed() { gListedAny = true; }

CStopHeld::CStopHeld() {
    sigset_t stops;
    sigemptyset(&stops);
    for (int number : kStopSignals) sigaddset(&stops, number);
    ::pthread_sigmask(SIG_BLOCK, &stops, &previous_);
    ++gHeld;
}

CStopHeld::~CStopHeld() {
    --gHeld;
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace cli
