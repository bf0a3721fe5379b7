// The preferences file as the plug-in reads it: any bytes at all, from a
// file another program, a damaged disk or an older version wrote.
#include <sstream>
#include <string>

#include "fuzz/FuzzChecks.h"
#include "params/Prefs.h"

namespace {

bool SameFields(const _SVandrelParams& a, const _SVandrelParams& b) {
    return a.signature == b.signature && a.version == b.version && a.maxDepth == b.maxDepth &&
           a.remainder == b.remainder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Whatever the file holds, the record that comes out is one the plug-in
    // can use.
    CVandrelParams read;
    {
        std::istringstream in(text);
        ReadPrefs(in, read);
    }
    FUZZ_CHECK(read.IsValid(), "reading left a record that is not valid");

    // And writing it back gives a file that reads as the same record.
    std::ostringstream out;
    WritePrefs(out, read);
    CVandrelParams again;
    again.maxDepth = uint16_t(read.maxDepth + 1);
    again.remainder = read.remainder == 'W' ? 'B' : 'W';
    std::istringstream back(out.str());
    ReadPrefs(back, again);
    FUZZ_CHECK(SameFields(read, again), "a written file does not read back as the record it holds");
    return 0;
}
