// What a Windows host reads before it ever calls PluginMain, read the way
// it reads it: through the system's resource API on the loaded module.
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "resources/PluginResources.h"
#include "sim/PluginLibrary.h"
#include "params/VandrelParams.h"
#include "winhost/Check.h"
#include "winhost/ModuleResources.h"

namespace {

constexpr EntryArch kThisArch = sizeof(void*) == 8 ? EntryArch::X64 : EntryArch::X86;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// The properties of a PiPL by key, walked as a host walks them.
std::optional<std::vector<uint8_t>> Property(const std::vector<uint8_t>& pipl, const char (&key)[5]) {
    const uint32_t wanted = host::FourCC(key);
    size_t at = 10;
    for (uint32_t i = 0; i < Le32(pipl, 6) && at + 16 <= pipl.size(); ++i) {
        const uint32_t length = Le32(pipl, at + 12);
        if (at + 16 + length > pipl.size()) return std::nullopt;
        if (Le32(pipl, at + 4) == wanted)
            return std::vector<uint8_t>(pipl.begin() + ptrdiff_t(at + 16),
                                        pipl.begin() + ptrdiff_t(at + 16 + length));
        at += 16 + length;
    }
    return std::nullopt;
}

}  // namespace

WH_SCENARIO(Resources, PiPLAndTerminologyAreTheDescribedBytes) {
    sim::CPluginLibrary library(sim::DefaultPluginPath());
    HMODULE module = static_cast<HMODULE>(library.NativeHandle());

    const auto pipl = ResourceBytes(module, kPiPLResourceType, kPluginResourceID);
    const auto aete = ResourceBytes(module, kTerminologyResourceType, kPluginResourceID);
    WH_CHECK(pipl.has_value());
    WH_CHECK(aete.has_value());
    if (!pipl || !aete) return;
    WH_CHECK_EQ(pipl->size(), size_t(298));
    WH_CHECK_EQ(aete->size(), size_t(221));
    WH_CHECK_EQ(*pipl, BuildPiPL(kThisArch));
    WH_CHECK_EQ(*aete, BuildTerminology());
}

WH_SCENARIO(Resources, TheHostFindsTheEntryPointAndTerminologyThroughThePiPL) {
    sim::CPluginLibrary library(sim::DefaultPluginPath());
    HMODULE module = static_cast<HMODULE>(library.NativeHandle());
    const auto pipl = ResourceBytes(module, kPiPLResourceType, kPluginResourceID);
    WH_CHECK(pipl.has_value());
    if (!pipl) return;

    // A 64-bit host reads '8664', a 32-bit one 'wx86'; each finds only its own.
    const auto entry = Property(*pipl, sizeof(void*) == 8 ? "8664" : "wx86");
    WH_CHECK(!Property(*pipl, sizeof(void*) == 8 ? "wx86" : "8664").has_value());
    WH_CHECK(entry.has_value());
    if (entry) {
        const std::string name(reinterpret_cast<const char*>(entry->data()));
        WH_CHECK_EQ(name, std::string("PluginMain"));
        WH_CHECK(GetProcAddress(module, name.c_str()) != nullptr);
    }

    const auto link = Property(*pipl, "hstm");
    WH_CHECK(link.has_value());
    if (link) {
        WH_CHECK_EQ(Le32(*link, 4), kPluginCode);
        const uint16_t terminologyID = uint16_t((*link)[12] | (*link)[13] << 8);
        const auto aete = ResourceBytes(module, kTerminologyResourceType, terminologyID);
        WH_CHECK(aete.has_value());
    }

    // The dialog templates the selectors load from the module.
    WH_CHECK(FindResourceExA(module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_PARAMS), kResourceLanguage));
    WH_CHECK(FindResourceExA(module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_ABOUT), kResourceLanguage));
}

WH_SCENARIO(Resources, TheVersionResourceReadsAsWindowsShowsIt) {
    const std::string path = sim::DefaultPluginPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    WH_CHECK(size > 0);
    if (!size) return;
    std::vector<char> info(size);
    WH_CHECK(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    WH_CHECK(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    if (fixed) {
        WH_CHECK_EQ(fixed->dwFileVersionMS, DWORD(0x00020001));
        WH_CHECK_EQ(fixed->dwFileVersionLS, DWORD(0));
        WH_CHECK_EQ(fixed->dwFileType, DWORD(VFT_DLL));
    }
    const std::pair<const char*, const char*> texts[] = {
        {"FileDescription", VANDREL_DESCRIPTION},
        {"OriginalFilename", VANDREL_FILE_NAME},
        {"CompanyName", VANDREL_COMPANY},
        {"ProductVersion", VANDREL_SHORT_VERSION},
    };
    for (const auto& [key, expected] : texts) {
        char* value = nullptr;
        const std::string query = std::string("\\StringFileInfo\\040904b0\\") + key;
        const bool found =
            VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length);
        WH_CHECK_EQ(std::string(found && value ? value : "(missing)"), std::string(expected));
    }
}
