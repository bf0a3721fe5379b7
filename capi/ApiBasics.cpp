// The parts of the interface that are not a filter: version, layouts,
// words for results, and the heap the page borrows its buffers from.
#include <cstdlib>

#include "capi/PixelLayout.h"
#include "capi/VandrelApi.h"

int32_t vandrel_api_version(void) { return VANDREL_API_VERSION; }

int32_t vandrel_layout_channels(int32_t layout) {
    const std::optional<SPixelLayout> facts = LayoutOf(layout);
    return facts ? facts->channels : 0;
}

const char* vandrel_result_text(int32_t result) {
    switch (result) {
        case VANDREL_DONE:
            return "done";
        case VANDREL_CANCELLED:
            return "cancelled";
        case VANDREL_NO_MEMORY:
            return "not enough memory for this page";
        case VANDREL_BAD_ARGUMENTS:
            return "the page or the settings are not valid";
        case VANDREL_FAILED:
            return "the filter failed";
        case VANDREL_UNSUPPORTED_LAYOUT:
            return "this filter cannot take pixels in this colour model";
        case VANDREL_NO_REGIONS:
            return "there is nothing to fill: no line art, or nothing but line art";
        default:
            return "unknown result";
    }
}

uint8_t* vandrel_alloc(uint32_t bytes) { return static_cast<uint8_t*>(std::malloc(bytes)); }

void vandrel_free(uint8_t* block) { std::free(block); }
