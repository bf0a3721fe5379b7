#include "cli/SameFile.h"

#include <system_error>

namespace cli {

namespace fs = std::filesystem;

fs::path PathKey(const std::string& path) {
    std::error_code error;
    // Made absolute first: a relative name whose file is not there yet
    // would otherwise stay relative, and differ from the same file named
    // through "./".
    const fs::path absolute = fs::absolute(path, error);
    if (error) return fs::path(path).lexically_normal();
    const fs::path key = fs::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : key;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::equivalent(a, b, error)) return true;
    return PathKey(a) == PathKey(b);
}

}  // namespace cli
