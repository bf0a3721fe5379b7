// Vandrel Auto Flats' stored records as it reads them: its preferences file
// and its parameters-handle block, any bytes at all.
#include <string>

#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzPrefsRoundTrip.h"
#include "params/AutoFlatsStores.h"

namespace {

bool SameFields(const _SAutoFlatsParams& a, const _SAutoFlatsParams& b) {
    return a.signature == b.signature && a.version == b.version && a.maxGap == b.maxGap &&
           a.minRegion == b.minRegion && a.spotBlacks == b.spotBlacks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    CheckPrefsRoundTrip<CAutoFlatsParams>(
        text, ReadAutoFlatsPrefs, WriteAutoFlatsPrefs,
        [](CAutoFlatsParams& p) {
            p.maxGap = uint16_t(p.maxGap + 1);
            p.spotBlacks = p.spotBlacks == 'L' ? 'R' : 'L';
        },
        SameFields);

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
