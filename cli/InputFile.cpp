#include "cli/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/ImageError.h"

namespace cli {

namespace {

void CheckRegular(const struct stat& info) {
    if (S_ISREG(info.st_mode)) return;
    if (S_ISDIR(info.st_mode)) throw CImageError("is a folder, not an image");
    if (S_ISFIFO(info.st_mode))
        throw CImageError("is a pipe, not a file: pages are read from files only (save it to a file first)");
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) throw CImageError("is a device, not an image file");
    throw CImageError("is not a regular file");
}

CImageError CannotOpen() { return CImageError(std::string("cannot open: ") + std::strerror(errno)); }

}  // namespace

void CheckInputFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) throw CannotOpen();
    CheckRegular(info);
}

int OpenInputFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw CannotOpen();
    struct stat info {};
    const int flags = ::fstat(fd, &info) == 0 ? ::fcntl(fd, F_GETFL) : -1;
    if (flags < 0 || (S_ISREG(info.st_mode) && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)) {
        const CImageError error = CannotOpen();
        ::close(fd);
        throw error;
    }
    try {
        CheckRegular(info);
    } catch (...) {
        ::close(fd);
        throw;
    }
    return fd;
}

}  // namespace cli
