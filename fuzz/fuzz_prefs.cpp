// The preferences file as the plug-in reads it: any bytes at all, from a
// file another program, a damaged disk or an older version wrote.
#include <string>

#include "fuzz/FuzzPrefsRoundTrip.h"
#include "params/Prefs.h"

namespace {

bool SameFields(const _SVandrelParams& a, const _SVandrelParams& b) {
    return a.signature == b.signature && a.version == b.version && a.maxDepth == b.maxDepth &&
           a.remainder == b.remainder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    CheckPrefsRoundTrip<CVandrelParams>(
        text, ReadPrefs, WritePrefs,
        [](CVandrelParams& p) {
            p.maxDepth = uint16_t(p.maxDepth + 1);
            p.remainder = p.remainder == 'W' ? 'B' : 'W';
        },
        SameFields);
    return 0;
}
