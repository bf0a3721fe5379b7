// The C interface's Auto Flats as any caller may call it: small pages in any
// layout (known or not), hints or none, settings of any value, a palette,
// an output layout of any kind, and a progress callback that may stop the
// run. Every buffer is exactly as long as the interface says, so a read or
// write past one is a finding.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "capi/VandrelApi.h"
#include "fuzz/FuzzBytes.h"
#include "fuzz/FuzzChecks.h"

namespace {

struct SStop {
    int32_t callsLeft;
    int32_t calls = 0;
};

int32_t Progress(void* context, int32_t done, int32_t total) {
    auto* stop = static_cast<SStop*>(context);
    FUZZ_CHECK(done >= 0 && done <= total, "progress outside 0 .. total");
    ++stop->calls;
    return stop->callsLeft >= 0 && stop->calls > stop->callsLeft ? 1 : 0;
}

// A page buffer of exactly the bytes the layout needs, or one byte when the
// size is not a page: the interface must refuse it without reading.
std::vector<uint8_t> PageBuffer(CFuzzBytes& bytes, int32_t layout, int32_t width, int32_t height) {
    const int32_t channels = vandrel_layout_channels(layout);
    const size_t size =
        width > 0 && height > 0 && channels > 0 ? size_t(width) * size_t(height) * size_t(channels) : 1;
    std::vector<uint8_t> page(size);
    bytes.Fill(page.data(), size);
    return page;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFuzzBytes bytes(data, size);
    const int32_t width = bytes.Take<int8_t>() % 48, height = bytes.Take<int8_t>() % 48;
    const int32_t lineLayout = bytes.Take<uint8_t>() % 9;
    const uint8_t hintsChoice = bytes.Take<uint8_t>();
    const int32_t outLayout = bytes.Take<uint8_t>() % 9;
    const uint8_t outputs = bytes.Take<uint8_t>();
    SStop stop{bytes.Take<int8_t>()};

    VandrelAutoFlatSettings settings;
    vandrel_autoflat_defaults(&settings);
    settings.gap = bytes.Take<int16_t>();
    settings.minRegion = bytes.Take<int16_t>();
    settings.spotBlacks = bytes.Take<uint8_t>() & 1;
    settings.keepLines = bytes.Take<uint8_t>() & 1;
    settings.workers = bytes.Take<int8_t>() % 3;
    settings.dpi = bytes.Take<double>();
    settings.threshold = bytes.Take<int16_t>();
    const int32_t paletteCount = bytes.Take<int8_t>() % 12;
    std::vector<uint8_t> palette(size_t(paletteCount > 0 ? paletteCount : 0) * 4);
    bytes.Fill(palette.data(), palette.size());
    settings.palette = palette.empty() ? nullptr : palette.data();
    settings.paletteCount = paletteCount;

    const std::vector<uint8_t> line = PageBuffer(bytes, lineLayout, width, height);
    const int32_t hintsLayout = (hintsChoice & 0x7F) % 9;
    std::vector<uint8_t> hints;
    if (hintsChoice & 0x80) hints = PageBuffer(bytes, hintsLayout, width, height);

    const size_t pixels = width > 0 && height > 0 ? size_t(width) * size_t(height) : 1;
    const int32_t outChannels = vandrel_layout_channels(outLayout);
    std::vector<uint8_t> flats(pixels * size_t(outChannels > 0 ? outChannels : 1), 0xEE);
    std::vector<uint32_t> regions(outputs & 1 ? pixels : 0);
    std::vector<uint8_t> marks(outputs & 2 ? pixels : 0);
    const int32_t capacity = int32_t(outputs >> 3);
    std::vector<uint8_t> colours(size_t(capacity) * 4);
    VandrelAutoFlatOutput output{};
    output.pixels = flats.data();
    output.layout = outLayout;
    output.regions = regions.empty() ? nullptr : regions.data();
    output.marks = marks.empty() ? nullptr : marks.data();
    output.colours = colours.empty() ? nullptr : colours.data();
    output.colourCapacity = capacity;

    const int32_t result =
        vandrel_autoflat(line.data(), lineLayout, hints.empty() ? nullptr : hints.data(), hintsLayout, width,
                         height, &settings, &output, outputs & 4 ? Progress : nullptr, &stop);
    FUZZ_CHECK(result >= VANDREL_DONE && result <= VANDREL_NO_REGIONS,
               "a result the interface does not name");
    FUZZ_CHECK(std::memchr(output.message, 0, sizeof output.message) != nullptr, "a message without its end");
    if (result != VANDREL_DONE) {
        FUZZ_CHECK(result == VANDREL_CANCELLED || output.message[0] != '\0', "a refusal without words");
        return 0;
    }
    FUZZ_CHECK(output.regionCount >= 1 && output.gap >= 1 && output.meltDepth >= 1,
               "a run without its facts");
    for (const uint32_t region : regions)
        FUZZ_CHECK(region < uint32_t(output.regionCount), "a pixel in a region that does not exist");
    for (const uint8_t mark : marks)
        FUZZ_CHECK((mark & ~(VANDREL_MARK_LINE | VANDREL_MARK_LEFT | VANDREL_MARK_CLOSED_GAP)) == 0,
                   "a mark the interface does not name");
    return 0;
}
