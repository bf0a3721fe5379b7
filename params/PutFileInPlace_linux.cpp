#include <cstdio>

#include "params/PutFileInPlace.h"

// rename(2) replaces the target atomically.
bool PutFileInPlace(const std::string& from, const std::string& to) noexcept {
    return std::rename(from.c_str(), to.c_str()) == 0;
}
