// Putting a finished file in place of another in one step, so that a reader
// finds either the old content or the new, never a half-written file.
#pragma once

#include <string>

// Renames `from` to `to`, replacing any file `to` names. Both lie in the same
// folder. False when that fails; `to` is then as it was.
bool PutFileInPlace(const std::string& from, const std::string& to) noexcept;
