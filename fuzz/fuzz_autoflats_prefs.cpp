// Vandrel Auto Flats' stored records as it reads them: its preferences file
// and its parameters-handle block, any bytes at all.
#include <sstream>
#include <string>

#include "fuzz/FuzzChecks.h"
#include "params/AutoFlatsStores.h"

namespace {

bool SameFields(const _SAutoFlatsParams& a, const _SAutoFlatsParams& b) {
    return a.signature == b.signature && a.version == b.version && a.maxGap == b.maxGap &&
           a.minRegion == b.minRegion && a.spotBlacks == b.spotBlacks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Whatever the file holds, the record that comes out is one the filter
    // can use, and writing it back reads as the same record.
    CAutoFlatsParams read;
    {
        std::istringstream in(text);
        ReadAutoFlatsPrefs(in, read);
    }
    FUZZ_CHECK(read.IsValid(), "reading left a record that is not valid");
    std::ostringstream out;
    WriteAutoFlatsPrefs(out, read);
    CAutoFlatsParams again;
    again.maxGap = uint16_t(read.maxGap + 1);
    again.spotBlacks = read.spotBlacks == 'L' ? 'R' : 'L';
    std::istringstream back(out.str());
    ReadAutoFlatsPrefs(back, again);
    FUZZ_CHECK(SameFields(read, again), "a written file does not read back as the record it holds");

    // A block decodes to whatever it holds, and encodes back to the same
    // bytes in every field the record keeps.
    if (size >= size_t(kAutoFlatsBlockSize)) {
        CAutoFlatsParams decoded;
        DecodeAutoFlatsBlock(data, decoded);
        uint8_t block[kAutoFlatsBlockSize] = {};
        EncodeAutoFlatsBlock(decoded, block);
        CAutoFlatsParams redecoded;
        DecodeAutoFlatsBlock(block, redecoded);
        FUZZ_CHECK(SameFields(decoded, redecoded), "a block does not survive encoding");
    }
    return 0;
}
