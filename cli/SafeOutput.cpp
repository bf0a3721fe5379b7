#include "cli/SafeOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cli/ImageError.h"
#include "cli/Interrupt.h"
#include "cli/WrittenList.h"

namespace cli {

namespace {

std::string Folder(const std::string& target) {
    const std::filesystem::path parent = std::filesystem::path(target).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

[[noreturn]] void Fail(const std::string& what, int error) {
    throw CImageError(what + ": " + std::strerror(error));
}

// Renames without replacing: the kernel's no-replace rename where the file
// system has it, else a hard link, which fails on an existing name too.
int RenameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (::link(from, to) != 0) return errno;
    ::unlink(from);
    return 0;
}

// The temporary name adds a few bytes to the target's: a target name near
// the file system's limit is shortened in its temporary name only (at a
// character boundary, so that a listing shows it whole).
std::string TempPattern(const std::string& folder, std::string name) {
    static const std::string kSuffix = ".vandrel-XXXXXX";
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const size_t longest = size_t(limit > 0 ? limit : NAME_MAX);
    if (1 + name.size() + kSuffix.size() > longest) {
        name.resize(longest - 1 - kSuffix.size());
        while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80) name.pop_back();
        if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
    }
    return folder + "/." + name + kSuffix;
}

void SyncFolderOf(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: some file systems refuse it on folders
    ::close(fd);
}

}  // namespace

CSafeOutput::CSafeOutput(const std::string& target, bool overwrite) : target_(target), overwrite_(overwrite) {
    const std::string folder = Folder(target);
    const std::string name = std::filesystem::path(target).filename().string();
    const std::string pattern = TempPattern(folder, name);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    fd_ = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd_ < 0) Fail("cannot create a file in " + folder, errno);
    temp_ = buffer.data();
    cleanupSlot_ = AddCleanupFile(temp_);
    if (cleanupSlot_ < 0) {
        Discard();
        throw CImageError("cannot write " + target + ": too many files open for writing at once");
    }

    // mkstemp makes a private file; give it the mode an ordinary new file
    // would get, or the mode of the file it is to replace.
    mode_t mode = 0666;
    struct stat existing {};
    if (overwrite_ && ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd_, mode);
}

CSafeOutput::~CSafeOutput() {
    if (!committed_) Discard();
}

void CSafeOutput::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    DropCleanupFile(cleanupSlot_);
    cleanupSlot_ = -1;
}

void CSafeOutput::Flush() {
    if (::fsync(fd_) != 0) Fail("cannot write " + target_, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Fail("cannot write " + target_, errno);
}

void CSafeOutput::PutInPlace() {
    if (overwrite_) {
        if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail("cannot replace " + target_, errno);
    } else if (const int error = RenameNoReplace(temp_.c_str(), target_.c_str())) {
        if (error == EEXIST)
            throw CImageError(QuotedName(target_) + " already exists (--overwrite replaces it)");
        Fail("cannot create " + target_, error);
    }
    committed_ = true;
    DropCleanupFile(cleanupSlot_);
    cleanupSlot_ = -1;
}

void CSafeOutput::Withdraw() {
    // A file it replaced is gone either way; one it did not replace goes.
    if (committed_ && !overwrite_) ::unlink(target_.c_str());
}

void CSafeOutput::SyncFolder() const { SyncFolderOf(Folder(target_)); }

}  // namespace cli
