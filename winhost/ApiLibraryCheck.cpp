// The C interface's DLL as Krita's plug-in loads it on Windows: by path,
// with the system's loader, nothing but Windows' DLLs beside it. Both
// filters run on a small page, on worker threads, and their pixels are
// checked; exit status 0 when every check holds.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "capi/VandrelApi.h"

namespace {

int failures = 0;

void Expect(bool holds, const char* what) {
    std::printf("%s: %s\n", holds ? "PASS" : "FAIL", what);
    if (!holds) ++failures;
}

template <typename F>
F Find(HMODULE library, const char* name) {
    auto* address = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    Expect(address != nullptr, name);
    return address;
}

int32_t CountCalls(void* context, int32_t, int32_t) {
    ++*static_cast<int*>(context);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "vandrel_api.dll";
    HMODULE library = LoadLibraryA(path.c_str());
    Expect(library != nullptr, "the DLL loads");
    if (!library) return 1;
    const auto version = Find<int32_t (*)()>(library, "vandrel_api_version");
    const auto flat = Find<decltype(&vandrel_flat)>(library, "vandrel_flat");
    const auto defaults = Find<decltype(&vandrel_autoflat_defaults)>(library, "vandrel_autoflat_defaults");
    const auto autoflat = Find<decltype(&vandrel_autoflat)>(library, "vandrel_autoflat");
    Find<decltype(&vandrel_autoflat_like)>(library, "vandrel_autoflat_like");
    if (failures) return 1;
    Expect(version() == VANDREL_API_VERSION, "the interface's version");

    // BGRA as Krita stores it: a blue left half, a red right half, black
    // columns between them and across every row's middle.
    const int width = 300, height = 200;
    std::vector<uint8_t> page(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &page[(size_t(y) * width + size_t(x)) * 4];
            const bool line = (x >= 148 && x < 152) || (y >= 99 && y < 101);
            p[0] = line ? 0 : x < 150 ? 200 : 0;
            p[1] = 0;
            p[2] = line ? 0 : x < 150 ? 0 : 200;
            p[3] = 255;
        }
    std::vector<uint8_t> result(page.size());
    int calls = 0;
    Expect(flat(page.data(), result.data(), width, height, VANDREL_BGRA, 256, 0, CountCalls, &calls) ==
               VANDREL_DONE,
           "flat answers done");
    bool noBlackLeft = true;
    for (size_t i = 0; i < result.size(); i += 4)
        noBlackLeft = noBlackLeft && (result[i] | result[i + 2]) != 0;
    Expect(noBlackLeft, "flat leaves no black pixel");
    Expect(result[(size_t(50) * width + 148) * 4] == 200, "a line pixel takes its nearest colour");
    Expect(calls > 0, "flat reports progress");

    VandrelAutoFlatSettings settings;
    defaults(&settings);
    std::vector<uint8_t> flats(page.size());
    VandrelAutoFlatOutput output{};
    output.pixels = flats.data();
    output.layout = VANDREL_BGRA;
    const int32_t code =
        autoflat(page.data(), VANDREL_BGRA, nullptr, 0, width, height, &settings, &output, nullptr, nullptr);
    std::printf("auto flats: %d regions, %s\n", output.regionCount, output.message);
    Expect(code == VANDREL_DONE, "auto flats answers done");
    Expect(output.regionCount >= 4, "auto flats finds the four panels");
    FreeLibrary(library);
    std::printf("%d failed\n", failures);
    return failures ? 1 : 0;
}
