#include "winhost/ModuleResources.h"

#include "resources/PluginResources.h"

std::optional<std::vector<uint8_t>> ResourceBytes(HMODULE module, LPCSTR type, WORD id) {
    HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), kResourceLanguage);
    if (!found) return std::nullopt;
    HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes) return std::nullopt;
    return std::vector<uint8_t>(bytes, bytes + SizeofResource(module, found));
}
