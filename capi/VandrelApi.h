/* The one C interface to both filters, for every caller that is not a
 * filter host: the web page (WebAssembly), Krita's Python plug-in (ctypes)
 * and whatever else loads the shared library. Plain C so that any language
 * with a foreign-function interface can call it; only these functions are
 * exported, nothing of the C++ inside.
 *
 * Pixels are 8-bit and interleaved, rows packed (width * channels bytes).
 * CMYK samples are ink as files and painting programs store them (255 is
 * full ink); the flip to the filter's own convention happens inside. */
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#if defined(VANDREL_API_BUILDING)
#define VANDREL_API __declspec(dllexport)
#else
#define VANDREL_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define VANDREL_API __attribute__((visibility("default")))
#else
#define VANDREL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Raised whenever a signature or a structure below changes or an entry
 * point is added, so that a caller can refuse a library it was not written
 * for. 4 added vandrel_autoflat_like and left everything of 3 as it was. */
#define VANDREL_API_VERSION 4

/* Every entry point answers one of these. */
enum VandrelResult {
    VANDREL_DONE = 0,
    VANDREL_CANCELLED = 1, /* the progress callback asked to stop; discard the result */
    VANDREL_NO_MEMORY = 2,
    VANDREL_BAD_ARGUMENTS = 3,
    VANDREL_FAILED = 4,
    VANDREL_UNSUPPORTED_LAYOUT = 5, /* a layout the entry point cannot take, e.g. CMYK line art */
    VANDREL_NO_REGIONS = 6,         /* nothing to fill: a page without line art, or nothing but line art */
};

/* Channel orders. The alpha channel is transparency: never painted by the
 * flat, kept as it is. Krita's 8-bit RGBA layers are stored as BGRA. */
enum VandrelLayout {
    VANDREL_RGB = 1,
    VANDREL_RGBA = 2,
    VANDREL_BGRA = 3,
    VANDREL_CMYK = 4,
    VANDREL_CMYKA = 5,
    VANDREL_GRAY = 6,
    VANDREL_GRAYA = 7,
};

/* Called on the caller's thread, at least every few hundred milliseconds
 * while a pass runs, with rows (or steps) done out of `total`. Returning
 * non-zero asks the pass to stop; it then answers VANDREL_CANCELLED. May
 * be null. `context` is handed back as it was given. */
typedef int32_t (*VandrelProgress)(void* context, int32_t done, int32_t total);

VANDREL_API int32_t vandrel_api_version(void);

/* Bytes per pixel of a layout, 0 for an unknown one. */
VANDREL_API int32_t vandrel_layout_channels(int32_t layout);

/* A short English sentence for a result, never null. */
VANDREL_API const char* vandrel_result_text(int32_t result);

/* Buffers from the library's own heap (the page needs them: its pixels live
 * in the module's memory). Null when there is no room. */
VANDREL_API uint8_t* vandrel_alloc(uint32_t bytes);
VANDREL_API void vandrel_free(uint8_t* block);

/* Vandrel Pro: flats `pixels` (width x height in `layout`: RGB, RGBA, BGRA,
 * CMYK or CMYKA) into `result`, the same size and layout, which may not
 * overlap it. `depth` is Black Pixel Depth (1..65535), `paintWhite`
 * non-zero paints too-deep pixels white. The same pixels as the filter in a
 * host and as `vandrel flat`. A cancelled or failed pass leaves `result`
 * undefined. */
VANDREL_API int32_t vandrel_flat(const uint8_t* pixels, uint8_t* result, int32_t width, int32_t height,
                                 int32_t layout, int32_t depth, int32_t paintWhite, VandrelProgress progress,
                                 void* context);

/* Auto Flats' choices, as `vandrel autoflat` takes them. Fill it with
 * vandrel_autoflat_defaults first, then change what the user chose. */
typedef struct VandrelAutoFlatSettings {
    int32_t gap; /* widest gap in the lines still closed, pixels (up to 1024); 0 chosen from dpi or the page
                    size; below 0 refused */
    int32_t minRegion;      /* regions under this many pixels merge into a neighbour; -1 the default */
    int32_t spotBlacks;     /* non-zero: solid black areas stay regions of their own */
    int32_t keepLines;      /* non-zero: the regions filled, the lines left as they are */
    const uint8_t* palette; /* optional: 4 bytes a colour (R, G, B, unused; or C, M, Y, K ink); a colour the
                               flat filter takes for black (R, G and B at most 8, or K ink 196 or more) is
                               refused, since its regions would melt away as line art */
    int32_t paletteCount;   /* colours in `palette` */
    int32_t workers;        /* threads, 0 for every processor, below 0 refused; one without threads
                               (WebAssembly) */
    double dpi; /* the page's resolution, 0 when unknown: it chooses the default gap; below 0 refused */
    int32_t threshold; /* line strength (darkness times opacity, 1..255) at which a pixel is line art */
} VandrelAutoFlatSettings;

VANDREL_API void vandrel_autoflat_defaults(VandrelAutoFlatSettings* settings);

/* What Auto Flats writes. `pixels` is required; the rest is optional. */
typedef struct VandrelAutoFlatOutput {
    uint8_t* pixels; /* width x height in `layout`: RGB, RGBA or BGRA for grey and RGB line art, CMYK or
                        CMYKA for CMYK; alpha is 255 (the line art's own on kept lines) */
    int32_t layout;
    uint32_t* regions; /* optional: width x height region numbers, as `--regions` writes them */
    uint8_t* colours;  /* optional: region i's colour at 4 * i, as palette entries, up to `colourCapacity` */
    int32_t colourCapacity;
    int32_t regionCount; /* written: the number of regions */
    int32_t gap;         /* written: the gap used */
    char message[256];   /* written: one line for people when the result is not VANDREL_DONE */
    uint8_t* marks;      /* optional: width x height bytes of VANDREL_MARK_* bits */
    int32_t meltDepth;   /* written: the depth the lines were melted at, for vandrel_autoflat_remelt */
} VandrelAutoFlatOutput;

/* What a pixel was to Auto Flats, in VandrelAutoFlatOutput.marks. */
#define VANDREL_MARK_LINE 1 /* line art, melted into a region */
#define VANDREL_MARK_LEFT 2 /* line art the melt's search left; the region beside it grew into it */
#define VANDREL_MARK_CLOSED_GAP \
    4 /* region pixel beside another region's with no line between: a closed gap */

/* Auto Flats: from line art (`lineArt` in `lineLayout`, any layout) and
 * optional hints of the same size and colour model (`hints` in
 * `hintsLayout`, null for none), one flat colour per closed region with
 * the lines melted into them. The same pixels as `vandrel autoflat`.
 * Progress is reported in thousandths. A page with no line art (white
 * paper, an empty layer, a threshold above every line) or nothing but line
 * art answers VANDREL_NO_REGIONS, as `vandrel autoflat` refuses it; settings
 * outside the values above answer VANDREL_BAD_ARGUMENTS. Either way
 * `message` says why. */
VANDREL_API int32_t vandrel_autoflat(const uint8_t* lineArt, int32_t lineLayout, const uint8_t* hints,
                                     int32_t hintsLayout, int32_t width, int32_t height,
                                     const VandrelAutoFlatSettings* settings, VandrelAutoFlatOutput* output,
                                     VandrelProgress progress, void* context);

/* vandrel_autoflat re-flatting revised line art with its earlier flats
 * (`earlier` in `earlierLayout`, the size of the page and of its colour
 * model: RGB, RGBA, BGRA, grey with or without alpha for grey or RGB line
 * art, CMYK or CMYKA for CMYK; null for none, which is vandrel_autoflat).
 * Every region takes the colour of the earlier region it overlaps most,
 * whatever that colour; where a region was split, the larger part keeps it
 * and the others get new colours, apart from every colour kept. Transparent
 * and black earlier pixels say nothing. Hints still decide where they are. */
VANDREL_API int32_t vandrel_autoflat_like(const uint8_t* lineArt, int32_t lineLayout, const uint8_t* hints,
                                          int32_t hintsLayout, const uint8_t* earlier, int32_t earlierLayout,
                                          int32_t width, int32_t height,
                                          const VandrelAutoFlatSettings* settings,
                                          VandrelAutoFlatOutput* output, VandrelProgress progress,
                                          void* context);

/* The melt run again where a fix changed a page's regions, e.g. a region
 * split along a stroke whose pixels are now marked VANDREL_MARK_LINE. The
 * caller holds the rectangle `area` (x0, y0, x1, y1, inclusive) of a
 * width x height page: `labels` (region numbers below 2^24) and `marks`
 * (as vandrel_autoflat wrote them), rows of the area's width. `changed`
 * (x0, y0, x1, y1, inside `area`) holds every pixel whose region or line
 * mark changed and every line pixel that took its region from one of them.
 * An empty rectangle, `area` outside the page or `changed` outside `area`
 * is VANDREL_BAD_ARGUMENTS, with nothing read or written. Every line pixel
 * the change can reach gets the region the whole page's melt would give
 * it, and `touched` receives the rectangle rewritten. VANDREL_FAILED with
 * nothing written means the area is too small: `touched` is then the area
 * to call again with. `depth` is VandrelAutoFlatOutput.meltDepth. */
VANDREL_API int32_t vandrel_autoflat_remelt(uint32_t* labels, uint8_t* marks, int32_t width, int32_t height,
                                            const int32_t* area, const int32_t* changed, int32_t depth,
                                            int32_t* touched);

#ifdef __cplusplus
}
#endif
