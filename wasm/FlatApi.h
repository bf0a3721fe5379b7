// What the web page calls: one page of 8-bit RGB or RGBA pixels, flatted by
// the engine's single-threaded pass. The page reports progress and cancel
// through the two functions it provides (WebHost.js).
#pragma once

#include <cstdint>

enum EFlatApiResult : int32_t {
    kFlatDone = 0,
    kFlatCancelled = 1,
    kFlatNoMemory = 2,
    kFlatBadArguments = 3,
    kFlatFailed = 4,
};

extern "C" {

// Buffers for the page, from the module's own heap. Null when it is full.
uint8_t* vandrel_alloc(uint32_t bytes);
void vandrel_free(uint8_t* block);

// Flats `pixels` (width x height, `channels` 3 or 4 interleaved bytes per
// pixel, rows packed) into `result`, which receives a copy of the input
// first. With 4 channels the fourth is transparency: never tested for
// black, never painted, kept as it is. `depth` is Black Pixel Depth
// (1..65535), `paintWhite` non-zero paints too-deep pixels white. A
// cancelled pass leaves `result` half done; the caller discards it.
int32_t vandrel_flat(const uint8_t* pixels, uint8_t* result, int32_t width, int32_t height, int32_t channels,
                     int32_t depth, int32_t paintWhite);

}  // extern "C"
