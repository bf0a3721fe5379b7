// The C interface's remelt as any caller may call it: a part of a small
// page held at any rectangle, a change anywhere, any depth, any labels and
// marks. The caller's buffers hold exactly the rectangle, so a read or
// write outside it is a finding; and whatever the answer, only line pixels
// inside the rectangle it reports may change.
#include <cstdint>
#include <vector>

#include "capi/VandrelApi.h"
#include "fuzz/FuzzBytes.h"
#include "fuzz/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFuzzBytes bytes(data, size);
    const int32_t width = bytes.Take<int8_t>() % 40, height = bytes.Take<int8_t>() % 40;
    int32_t area[4], changed[4];
    for (int32_t& v : area) v = bytes.Take<int8_t>() % 44;
    for (int32_t& v : changed) v = bytes.Take<int8_t>() % 44;
    const int32_t depth = bytes.Take<int16_t>();
    const uint8_t labelsHigh = bytes.Take<uint8_t>();

    const int32_t areaWidth = area[2] - area[0] + 1, areaHeight = area[3] - area[1] + 1;
    const size_t held = areaWidth > 0 && areaHeight > 0 ? size_t(areaWidth) * size_t(areaHeight) : 1;
    std::vector<uint32_t> labels(held);
    std::vector<uint8_t> marks(held);
    for (size_t i = 0; i < held; ++i) {
        labels[i] = bytes.Take<uint8_t>() % 16;
        // Now and then a region number the melt cannot carry.
        if (labelsHigh == 0xFF && i % 7 == 3) labels[i] |= 1u << 24;
    }
    bytes.Fill(marks.data(), held);
    for (uint8_t& mark : marks) mark &= VANDREL_MARK_LINE | VANDREL_MARK_LEFT | VANDREL_MARK_CLOSED_GAP;
    const std::vector<uint32_t> labelsBefore = labels;
    const std::vector<uint8_t> marksBefore = marks;

    int32_t touched[4] = {7, 7, 7, 7};
    const int32_t result =
        vandrel_autoflat_remelt(labels.data(), marks.data(), width, height, area, changed, depth, touched);
    FUZZ_CHECK(result == VANDREL_DONE || result == VANDREL_FAILED || result == VANDREL_BAD_ARGUMENTS ||
                   result == VANDREL_NO_MEMORY,
               "a result the remelt does not give");
    if (result != VANDREL_DONE) {
        FUZZ_CHECK(labels == labelsBefore && marks == marksBefore, "a refused remelt wrote");
        if (result == VANDREL_FAILED && touched[2] >= 0)
            FUZZ_CHECK(touched[0] >= 0 && touched[1] >= 0 && touched[0] <= touched[2] &&
                           touched[1] <= touched[3] && touched[2] < width && touched[3] < height,
                       "the area asked for is not part of the page");
        return 0;
    }
    FUZZ_CHECK(
        touched[0] >= area[0] && touched[1] >= area[1] && touched[2] <= area[2] && touched[3] <= area[3],
        "what was rewritten is not inside the held area");
    for (size_t i = 0; i < held; ++i) {
        if (labels[i] == labelsBefore[i] && marks[i] == marksBefore[i]) continue;
        const int32_t x = area[0] + int32_t(i % size_t(areaWidth)),
                      y = area[1] + int32_t(i / size_t(areaWidth));
        FUZZ_CHECK(marksBefore[i] & VANDREL_MARK_LINE, "a region pixel was given another region");
        FUZZ_CHECK(((marks[i] ^ marksBefore[i]) & ~VANDREL_MARK_LEFT) == 0,
                   "a mark other than the search's changed");
        FUZZ_CHECK(x >= touched[0] && x <= touched[2] && y >= touched[1] && y <= touched[3],
                   "a pixel changed outside the rectangle reported");
    }
    return 0;
}
