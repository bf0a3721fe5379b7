#include "cli/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/ImageError.h"

namespace cli {

namespace {

void CheckRegular(const struct stat& info, EInputKind kind) {
    if (S_ISREG(info.st_mode)) return;
    const bool image = kind == EInputKind::Image;
    if (S_ISDIR(info.st_mode))
        throw CImageError(image ? "is a folder, not an image" : "is a folder, not a palette");
    if (S_ISFIFO(info.st_mode))
        throw CImageError(std::string("is a pipe, not a file: ") + (image ? "pages are" : "a palette is") +
                          " read from files only (save it to a file first)");
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        throw CImageError(image ? "is a device, not an image file" : "is a device, not a palette file");
    throw CImageError("is not a regular file");
}

CImageError CannotOpen() { return CImageError(std::string("cannot open: ") + std::strerror(errno)); }

}  // namespace

void CheckInputFile(const std::string& path, EInputKind kind) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) throw CannotOpen();
    CheckRegular(info, kind);
}

int OpenInputFile(const std::string& path, EInputKind kind) {
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
        CheckRegular(info, kind);
    } catch (...) {
        ::close(fd);
        throw;
    }
    return fd;
}

}  // namespace cli
