// Static checks of the built Windows plug-ins, from their bytes alone: the
// 32-bit file cannot run on this machine at all, and no Windows host is
// needed to see what a host would see first.
//
// The files are the Windows presets' outputs; a test skips when its build
// is absent. VANDREL_WINDOWS_X86_PLUGIN / VANDREL_WINDOWS_X64_PLUGIN in the
// environment name other files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

#include "resources/PluginResources.h"
#include "tests/resources/PeImage.h"

#ifndef VANDREL_WINDOWS_X86_PLUGIN
#define VANDREL_WINDOWS_X86_PLUGIN ""
#endif
#ifndef VANDREL_WINDOWS_X64_PLUGIN
#define VANDREL_WINDOWS_X64_PLUGIN ""
#endif

namespace {

constexpr uint16_t kTypeDialog = 5;
constexpr uint16_t kTypeVersion = 16;

struct Build {
    const char* name;
    EntryArch arch;
    const char* environment;
    const char* builtPath;
    uint16_t machine;
};

void PrintTo(const Build& build, std::ostream* out) { *out << build.name; }

const Build kBuilds[] = {
    {"x86", EntryArch::X86, "VANDREL_WINDOWS_X86_PLUGIN", VANDREL_WINDOWS_X86_PLUGIN, CPeImage::kMachineI386},
    {"x64", EntryArch::X64, "VANDREL_WINDOWS_X64_PLUGIN", VANDREL_WINDOWS_X64_PLUGIN,
     CPeImage::kMachineAmd64},
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// DLLs every Windows installation has; anything else (libstdc++-6.dll,
// libgcc_s_*.dll, libwinpthread-1.dll) would have to sit beside the .8bf.
bool IsSystemDll(const std::string& dll) {
    static const char* const kSystem[] = {"kernel32.dll", "user32.dll",   "gdi32.dll",  "shell32.dll",
                                          "comctl32.dll", "advapi32.dll", "msvcrt.dll", "ucrtbase.dll",
                                          "ole32.dll",    "shlwapi.dll"};
    const std::string name = Lower(dll);
    if (name.rfind("api-ms-win-", 0) == 0) return true;
    return std::find(std::begin(kSystem), std::end(kSystem), name) != std::end(kSystem);
}

// VS_VERSIONINFO: nested blocks of length, value length, type, UTF-16 key,
// value and children, each part aligned to 4 bytes from the block's start.
struct VersionNode {
    std::string key;
    std::vector<uint8_t> value;
    std::vector<VersionNode> children;
};

uint16_t Le16(const std::vector<uint8_t>& b, std::size_t at) {
    if (at + 2 > b.size()) throw std::out_of_range("version resource truncated");
    return uint16_t(b[at] | b[at + 1] << 8);
}

std::string Utf16(const std::vector<uint8_t>& b, std::size_t& at) {
    std::string text;
    for (uint16_t c; (c = Le16(b, at)) != 0; at += 2) text += c < 0x80 ? char(c) : '?';
    at += 2;
    return text;
}

VersionNode ReadVersionNode(const std::vector<uint8_t>& b, std::size_t start) {
    const std::size_t length = Le16(b, start);
    const std::size_t valueLength = Le16(b, start + 2);
    const bool isText = Le16(b, start + 4) == 1;
    std::size_t at = start + 6;
    VersionNode node;
    node.key = Utf16(b, at);
    at = (at + 3) & ~std::size_t(3);
    const std::size_t end = start + length;
    if (end > b.size() || length < 6) throw std::out_of_range("version block outside the resource");
    const std::size_t valueBytes = isText ? valueLength * 2 : valueLength;
    node.value.assign(b.begin() + std::ptrdiff_t(at),
                      b.begin() + std::ptrdiff_t(std::min(end, at + valueBytes)));
    at = (at + valueBytes + 3) & ~std::size_t(3);
    while (at < end) {
        node.children.push_back(ReadVersionNode(b, at));
        at = (at + Le16(b, at) + 3) & ~std::size_t(3);
    }
    return node;
}

const VersionNode& Child(const VersionNode& node, const std::string& key) {
    for (const VersionNode& child : node.children)
        if (child.key == key) return child;
    throw std::out_of_range("no version block " + key);
}

std::string TextValue(const VersionNode& node) {
    std::string text;
    for (std::size_t i = 0; i + 1 < node.value.size(); i += 2)
        if (node.value[i] || node.value[i + 1]) text += char(node.value[i]);
    return text;
}

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
    return Le16(b, at) | uint32_t(Le16(b, at + 2)) << 16;
}

class WindowsPluginFile : public testing::TestWithParam<Build> {
protected:
    void SetUp() override {
        const Build& build = GetParam();
        const char* fromEnvironment = std::getenv(build.environment);
        path_ = fromEnvironment && *fromEnvironment ? fromEnvironment : build.builtPath;
        if (path_.empty() || !std::filesystem::exists(path_))
            GTEST_SKIP() << "no Windows " << build.name << " build at '" << path_.string()
                         << "': cmake --preset windows-" << build.name
                         << " && cmake --build --preset windows-" << build.name;
        image_.emplace(CPeImage::Load(path_));
    }

    std::filesystem::path path_;
    std::optional<CPeImage> image_;
};

}  // namespace

TEST_P(WindowsPluginFile, IsALibraryForItsArchitectureExportingOnlyPluginMain) {
    EXPECT_EQ(image_->Machine(), GetParam().machine);
    EXPECT_EQ(image_->IsPE32Plus(), GetParam().arch == EntryArch::X64);
    EXPECT_TRUE(image_->IsDll());
    EXPECT_EQ(image_->ExportedNames(), std::vector<std::string>{"PluginMain"});
    EXPECT_EQ(path_.filename().string(), VANDREL_FILE_NAME);
}

TEST_P(WindowsPluginFile, ImportsOnlyWindowsSystemLibraries) {
    const std::vector<std::string> dlls = image_->ImportedDlls();
    EXPECT_FALSE(dlls.empty());
    for (const std::string& dll : dlls) EXPECT_TRUE(IsSystemDll(dll)) << dll << " is not part of Windows";
}

TEST_P(WindowsPluginFile, CarriesThePiPLAndTerminologyByteForByte) {
    EXPECT_EQ(image_->FindResource(kPiPLResourceType, kPluginResourceID, kResourceLanguage),
              BuildPiPL(GetParam().arch));
    EXPECT_EQ(image_->FindResource(kTerminologyResourceType, kPluginResourceID, kResourceLanguage),
              BuildTerminology());
}

TEST_P(WindowsPluginFile, EveryResourceIsUSEnglishAndTheDialogsArePresent) {
    const std::vector<CPeImage::Resource> resources = image_->Resources();
    EXPECT_EQ(resources.size(), 5u) << "PiPL, terminology, version and the two dialogs";
    for (const CPeImage::Resource& r : resources)
        EXPECT_EQ(r.key.language, kResourceLanguage)
            << (r.key.typeID ? std::to_string(*r.key.typeID) : r.key.typeName) << " "
            << (r.key.nameID ? std::to_string(*r.key.nameID) : r.key.nameText);
    EXPECT_TRUE(image_->FindResource(kTypeDialog, IDD_PARAMS, kResourceLanguage));
    EXPECT_TRUE(image_->FindResource(kTypeDialog, IDD_ABOUT, kResourceLanguage));
}

TEST_P(WindowsPluginFile, VersionResourceDescribesTheLibrary) {
    const auto bytes = image_->FindResource(kTypeVersion, 1, kResourceLanguage);
    ASSERT_TRUE(bytes);
    const VersionNode root = ReadVersionNode(*bytes, 0);
    EXPECT_EQ(root.key, "VS_VERSION_INFO");
    ASSERT_EQ(root.value.size(), 52u);
    const std::vector<uint8_t>& fixed = root.value;
    EXPECT_EQ(Le32(fixed, 0), 0xFEEF04BDu);
    EXPECT_EQ(Le32(fixed, 8), 0x00020001u);   // file version 2.1
    EXPECT_EQ(Le32(fixed, 12), 0x00000000u);  // .0.0
    EXPECT_EQ(Le32(fixed, 16), 0x00020001u);  // product version 2.1
    EXPECT_EQ(Le32(fixed, 20), 0x00000000u);
    EXPECT_EQ(Le32(fixed, 24), 0x17u);  // flags mask
    EXPECT_EQ(Le32(fixed, 28), 0u);     // flags
    EXPECT_EQ(Le32(fixed, 32), 0x4u);   // 32-bit Windows
    EXPECT_EQ(Le32(fixed, 36), 0x2u);   // dynamic library
    EXPECT_EQ(Le32(fixed, 40), 0u);     // subtype
    EXPECT_EQ(Le32(fixed, 44), 0u);     // date
    EXPECT_EQ(Le32(fixed, 48), 0u);

    const VersionNode& table = Child(Child(root, "StringFileInfo"), "040904b0");
    std::map<std::string, std::string> values;
    for (const VersionNode& value : table.children) values[value.key] = TextValue(value);
    const std::map<std::string, std::string> expected = {
        {"CompanyName", "Tirrow"},
        {"FileDescription", "A flatting filter."},
        {"FileVersion", "v2.1"},
        {"InternalName", "Vandrel Pro"},
        {"LegalCopyright", VANDREL_COPYRIGHT},
        {"OriginalFilename", "Vandrel Pro.8bf"},
        {"ProductName", "Vandrel Pro"},
        {"ProductVersion", "v2.1"},
    };
    EXPECT_EQ(values, expected);
    EXPECT_EQ(Child(Child(root, "VarFileInfo"), "Translation").value,
              (std::vector<uint8_t>{0x09, 0x04, 0xB0, 0x04}));
}

INSTANTIATE_TEST_SUITE_P(Builds, WindowsPluginFile, testing::ValuesIn(kBuilds),
                         [](const testing::TestParamInfo<Build>& info) {
                             return std::string(info.param.name);
                         });

// The C interface's DLL, which Krita's plug-in loads from its own folder:
// Windows' DLLs alone beside it, and nothing exported but the interface.
TEST(WindowsApiLibrary, IsAnX64DllExportingTheInterfaceAndImportingOnlyWindows) {
    const char* fromEnvironment = std::getenv("VANDREL_WINDOWS_X64_API_LIBRARY");
    const std::filesystem::path path =
        fromEnvironment && *fromEnvironment ? fromEnvironment : VANDREL_WINDOWS_X64_API_LIBRARY;
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no Windows API library at '" << path.string()
                     << "': cmake --preset windows-x64 && cmake --build --preset windows-x64";
    const CPeImage image = CPeImage::Load(path);
    EXPECT_EQ(image.Machine(), CPeImage::kMachineAmd64);
    EXPECT_TRUE(image.IsPE32Plus());
    EXPECT_TRUE(image.IsDll());
    std::vector<std::string> names = image.ExportedNames();
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected = {
        "vandrel_alloc",           "vandrel_api_version",     "vandrel_autoflat", "vandrel_autoflat_defaults",
        "vandrel_autoflat_like",   "vandrel_autoflat_remelt", "vandrel_flat",     "vandrel_free",
        "vandrel_layout_channels", "vandrel_result_text"};
    EXPECT_EQ(names, expected);
    const std::vector<std::string> dlls = image.ImportedDlls();
    EXPECT_FALSE(dlls.empty());
    for (const std::string& dll : dlls) EXPECT_TRUE(IsSystemDll(dll)) << dll << " is not part of Windows";
}

// The reader trusts no offset in the file: wherever a real plug-in is cut
// short, it gives an exception or a complete answer, never a read beyond
// the buffer (which the sanitizer builds would catch).
TEST(PeImage, RejectsTruncatedAndForeignFiles) {
    EXPECT_THROW(CPeImage(std::vector<uint8_t>{}), std::runtime_error);
    EXPECT_THROW(CPeImage(std::vector<uint8_t>(64, 'M')), std::runtime_error);

    std::filesystem::path path;
    for (const Build& build : kBuilds) {
        const char* fromEnvironment = std::getenv(build.environment);
        const std::filesystem::path candidate =
            fromEnvironment && *fromEnvironment ? fromEnvironment : build.builtPath;
        if (!candidate.empty() && std::filesystem::exists(candidate)) path = candidate;
    }
    if (path.empty()) GTEST_SKIP() << "no Windows build to cut short";
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> whole((std::istreambuf_iterator<char>(in)), {});

    // Inside the headers every cut is fatal.
    for (std::size_t keep : {0x3Cu, 0x40u, 0x90u, 0x100u}) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(keep));
        EXPECT_THROW(CPeImage{cut}, std::runtime_error) << keep;
    }
    for (std::size_t keep = 0x200; keep < whole.size(); keep += 0x1000) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(keep));
        try {
            CPeImage image(cut);
            image.ExportedNames();
            image.ImportedDlls();
            image.Resources();
        } catch (const std::runtime_error&) {
        }
    }
}
