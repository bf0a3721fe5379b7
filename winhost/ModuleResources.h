// A resource of a loaded module, read the way a Windows host reads it:
// through the system's resource API.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

std::optional<std::vector<uint8_t>> ResourceBytes(HMODULE module, LPCSTR type, WORD id);
