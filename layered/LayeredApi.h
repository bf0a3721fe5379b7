/* The layered writers as the web page's module offers them: the page hands
   over its decoded pixels and receives the file's bytes in pieces, so that
   its download holds the same layers as the command's file. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { VANDREL_LAYERED_PSD = 0, VANDREL_LAYERED_ORA = 1 };
enum { VANDREL_LAYERED_WRITTEN = 0, VANDREL_LAYERED_REFUSED = 1, VANDREL_LAYERED_NO_MEMORY = 2 };

/* Each picture is `width` x `height` pixels of 3 (RGB) or 4 (RGBA) bytes;
   `hints` may be null. Resolution in dots per inch, 0 when unknown;
   `centimetres` when the page measured itself so. `write` receives the
   file's bytes in order. On refusal the reason is in `message`. */
int vandrel_layered_write(int format, int width, int height, const uint8_t* flats, int flatsChannels,
                          const uint8_t* lineArt, int lineArtChannels, const uint8_t* hints,
                          int hintsChannels, double xDpi, double yDpi, int centimetres,
                          const uint8_t* iccProfile, size_t iccBytes,
                          void (*write)(const uint8_t* bytes, size_t size), char* message,
                          size_t messageBytes);

#ifdef __cplusplus
}
#endif
