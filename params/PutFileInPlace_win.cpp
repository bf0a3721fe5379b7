#include <windows.h>

#include "params/PutFileInPlace.h"

// The C library's rename refuses an existing target on Windows; MoveFileEx
// replaces it, and within one volume does so as one step.
bool PutFileInPlace(const std::string& from, const std::string& to) noexcept {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
