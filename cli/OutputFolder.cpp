#include "cli/OutputFolder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/ImageError.h"
#include "cli/WrittenList.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Unusable(const std::string& folder, const std::string& reason) {
    throw CImageError("cannot use the folder " + QuotedName(folder) + ": " + reason);
}

// Only a real file tells: permissions, access lists, a read-only mount, a
// file system with no free entries and quotas all show up the same way.
void CheckTakesNewFile(const std::string& folder) {
    std::string probe = (fs::path(folder) / ".vandrel-probe-XXXXXX").string();
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0) Unusable(folder, std::strerror(errno));
    ::close(fd);
    ::unlink(probe.c_str());
}

}  // namespace

COutputFolder::COutputFolder(const std::string& folder, bool make) {
    const std::string where = folder.empty() ? std::string(".") : folder;
    std::error_code error;
    if (make) {
        fs::path missing = fs::path(where).lexically_normal();
        if (!missing.has_filename()) missing = missing.parent_path();  // "out/" names "out"
        for (; !missing.empty() && !fs::exists(missing, error); missing = missing.parent_path()) {
            made_.insert(made_.begin(), missing.string());
            if (missing == missing.parent_path()) break;
        }
        fs::create_directories(where, error);
        if (error) Unusable(where, error.message());
    }
    const fs::file_status status = fs::status(where, error);
    if (!fs::exists(status)) Unusable(where, error ? error.message() : "it does not exist");
    if (!fs::is_directory(status)) Unusable(where, "it is not a folder");
    CheckTakesNewFile(where);
}

void COutputFolder::RemoveIfEmpty() {
    for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder)
        if (::rmdir(folder->c_str()) != 0) break;
    made_.clear();
}

}  // namespace cli
