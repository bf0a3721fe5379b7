// Preloaded into the tool by tests, to bring about what a machine does only
// now and then: no thread can be started (a container's process limit),
// the input is saved over by another program while it is read, a second
// Ctrl-C lands just after a file is put in place or as it is flushed. Each fault is asked for
// through the environment; without it the calls go straight through.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

long Setting(const char* name, long otherwise) {
    const char* value = std::getenv(name);
    return value && *value ? std::atol(value) : otherwise;
}

std::atomic<long> gThreadsStarted{0};
std::atomic<long> gOpensOfSwapped{0};
std::atomic<long> gSyncs{0};

// After the n-th open of VANDREL_FAULT_SWAP_PATH, VANDREL_FAULT_SWAP_WITH
// is renamed over it, as an editor saves.
void SwapAfterOpen(const char* path) {
    const char* target = std::getenv("VANDREL_FAULT_SWAP_PATH");
    const char* replacement = std::getenv("VANDREL_FAULT_SWAP_WITH");
    if (!target || !replacement || std::strcmp(path, target) != 0) return;
    if (++gOpensOfSwapped == Setting("VANDREL_FAULT_SWAP_AFTER", 1))
        Next<int (*)(const char*, const char*)>("rename")(replacement, target);
}

int OpenThrough(const char* name, const char* path, int flags, va_list args) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) mode = mode_t(va_arg(args, int));
    const int fd = Next<int (*)(const char*, int, ...)>(name)(path, flags, mode);
    if (fd >= 0) SwapAfterOpen(path);
    return fd;
}

// Two different signals, so that the second is not merged into the first
// while both wait.
void SignalTwiceAfterRename(const char* to) {
    const char* watched = std::getenv("VANDREL_FAULT_SIGNAL_AFTER_RENAME");
    if (!watched || !std::strstr(to, watched)) return;
    ::raise(SIGINT);
    ::raise(SIGTERM);
}

}  // namespace

extern "C" {

// On the n-th file flushed to disk (VANDREL_FAULT_SIGNAL_AT_FSYNC), two
// signals: the run ends with that file and its page's others written but
// not in place.
int fsync(int fd) {
    const int result = Next<int (*)(int)>("fsync")(fd);
    if (++gSyncs == Setting("VANDREL_FAULT_SIGNAL_AT_FSYNC", 0)) {
        ::raise(SIGINT);
        ::raise(SIGTERM);
    }
    return result;
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
    if (++gThreadsStarted > Setting("VANDREL_FAULT_THREADS", 1L << 30)) return EAGAIN;
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    return Next<Create>("pthread_create")(thread, attr, start, arg);
}

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int fd = OpenThrough("open", path, flags, args);
    va_end(args);
    return fd;
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int fd = OpenThrough("open64", path, flags, args);
    va_end(args);
    return fd;
}

int rename(const char* from, const char* to) {
    const int result = Next<int (*)(const char*, const char*)>("rename")(from, to);
    if (result == 0) SignalTwiceAfterRename(to);
    return result;
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) {
    const int result = Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(
        fromFolder, from, toFolder, to, flags);
    if (result == 0) SignalTwiceAfterRename(to);
    return result;
}

}  // extern "C"
