// Writes the PiPL and terminology bytes to files for the resource compiler,
// so the library carries exactly the bytes that BuildPiPL and
// BuildTerminology describe. Runs on the build machine, also in the
// Windows cross builds.
//
//   vandrel_resgen x86|x64 OUTDIR   writes OUTDIR/pipl.bin and OUTDIR/aete.bin
//                                   (Vandrel Pro), and the same prefixed
//                                   autoflats- (Vandrel Auto Flats)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "resources/PluginResources.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) std::fprintf(stderr, "vandrel_resgen: cannot write %s\n", path.string().c_str());
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view arch = argc == 3 ? argv[1] : "";
    if (arch != "x86" && arch != "x64") {
        std::fprintf(stderr, "usage: vandrel_resgen x86|x64 OUTDIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[2];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const EntryArch entryArch = arch == "x64" ? EntryArch::X64 : EntryArch::X86;
    const bool ok = WriteFile(dir / "pipl.bin", BuildPiPL(entryArch)) &&
                    WriteFile(dir / "aete.bin", BuildTerminology()) &&
                    WriteFile(dir / "autoflats-pipl.bin", BuildAutoFlatsPiPL(entryArch)) &&
                    WriteFile(dir / "autoflats-aete.bin", BuildAutoFlatsTerminology());
    return ok ? 0 : 1;
}
