#include "cli/WriteAll.h"

#include <unistd.h>

#include <cerrno>

namespace cli {

bool WriteAll(int fd, const char* text, size_t size) {
    while (size > 0) {
        const ssize_t wrote = ::write(fd, text, size);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote == 0) errno = EIO;
        if (wrote <= 0) return false;
        text += wrote;
        size -= size_t(wrote);
    }
    return true;
}

}  // namespace cli
