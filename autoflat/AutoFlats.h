// Auto flats: a page of line art (bare, dotted with colour, or partly filled)
// in, one flat colour per closed region out, the lines melted into their
// regions by the engine's own nearest-colour pass. Standard C++ only, so that
// the WebAssembly build carries it as it carries the engine.
//
// What a pixel is. A pixel's line strength is its darkness (255 - luma) times
// its alpha; at or above `darkness` it is line art. Below it, a pixel of high
// chroma is a hint (a region holding hints takes their majority colour), and
// any other pixel, transparent ones included, is paper. Light anti-aliased
// fringes are therefore region pixels and come out in their region's colour.
//
// Gaps. Lines that stop up to `gap` pixels short of each other still
// separate regions. The default gap is 0.85 mm of the page: dpi / 30 when the
// resolution is known, else the short side / 250, which is the same 20 px on
// an A4 page at 600 dpi; both are clamped to 2 .. 64. Gaps inked by hand
// scale with the drawing, not with a fixed pixel count, and scans are made at
// 300 to 1200 dpi.
//
// Melting. Every line pixel takes the region the engine's pass would copy
// into it from a page filled by hand, with one exception: where that pass
// gives up (its search meets the page's border first, as in a black band
// along the edge deeper than the page allows, or runs out of depth) it
// leaves the pixel black, and flats hold no black, so here the region beside
// the pixel grows into it (marked kMarkLeft). Flatting these flats with the
// filter leaves such pixels black, not coloured.
//
// Colours. The same page and settings give the same bytes whatever the
// worker count. Regions without a hint each get their own colour, touching
// ones at least kMinTouchingDeltaE (CIEDE2000) apart, any two at least
// kMinDistinctDeltaE apart while the gamut allows, each drawn from where the
// region begins so that hints and revisions elsewhere leave it alone, and every automatic
// colour lies inside a conservative print gamut (see AutoColours.h), so the
// flats survive a conversion to CMYK. A palette restricts the choice; touching
// regions still differ where the palette has enough colours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace autoflat {

// Interleaved 8-bit samples. CMYK samples are ink coverage, 0 = no ink, as
// TIFF stores them.
enum class EPageKind : uint8_t { Gray, GrayAlpha, Rgb, Rgba, Cmyk, CmykAlpha };

int ChannelCount(EPageKind kind);
bool HasAlpha(EPageKind kind);
bool IsCmyk(EPageKind kind);
// Flats are colours: a gray page gives RGB flats (RGBA with alpha); RGB and
// CMYK pages keep their layout.
EPageKind FlatsKind(EPageKind pageKind);

struct SPageView {
    const uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    EPageKind kind = EPageKind::Gray;
    // 0: rows packed, width * ChannelCount(kind) bytes apart.
    std::ptrdiff_t rowBytes = 0;
};

// A colour in the flats' model: r, g, b (the fourth byte unused) or c, m, y, k
// ink coverage.
struct SColour {
    uint8_t v[4] = {0, 0, 0, 0};
    friend bool operator==(const SColour&, const SColour&) = default;
};

enum class ESpotBlacks : uint8_t {
    Regions,  // solid black areas much wider than a line are regions of their own
    Lines,    // they melt into their neighbours like any line
};

// The least CIEDE2000 distance between the automatic colours of two touching
// regions (hints and a short palette may come closer).
constexpr double kMinTouchingDeltaE = 20.0;

// The least CIEDE2000 distance between any two automatic colours of a page,
// touching or not, while the print gamut holds enough of them (several
// hundred): below it a leak or a missed region cannot be seen, and a
// colour-range selection takes both.
constexpr double kMinDistinctDeltaE = 4.0;

struct SAutoFlatSettings {
    int32_t gap = 0;          // pixels; 0 picks the default above
    double dpi = 0;           // the page's resolution when known, for the default gap
    int64_t minRegion = -1;   // pixels; smaller regions merge into a neighbour; -1: (gap / 2)², at least 16
    uint8_t darkness = 128;   // line strength at which a pixel is line art
    uint8_t hintChroma = 48;  // chroma at which a pixel that is not line art is a hint
    ESpotBlacks spotBlacks = ESpotBlacks::Regions;
    // A spot black holds a pixel farther than three times this from every
    // non-line pixel (it is more than six times this across) and takes in
    // the black around it deeper than this; 0: the gap, at least 4.
    int32_t spotBlackDepth = 0;
    bool keepLines = false;        // flats keep the line art's own pixels where lines are
    bool pixelMarks = false;       // fill SAutoFlatResult::marks
    std::vector<SColour> palette;  // empty: automatic colours
    // The page's earlier flats (no pixels: none), the size of the page and
    // in its colour model: each region keeps the colour it overlaps most
    // there, whatever that colour is, and a region split in two keeps it in
    // its larger part. Hints still decide where they are.
    SPageView earlier;
    int workers = 0;  // 0: the machine's processors; 1 runs without any thread
    // What a flatter fills as one flat (each rule costs nothing on pages
    // without what it looks for; see BackgroundRules.h):
    // ink specks at most half the gap across (screentone dots, scan grain)
    // close no gaps, so a tone is one area with the paper around it;
    bool textureClosesGaps = false;
    // regions that meet along the page's edge with no ink between them there
    // are one: the page's edge is not a line, and a channel between the
    // drawing and the edge closes nothing;
    bool pageEdgeIsLine = false;
    // long narrow strips between free-ended lines (speed lines, hatching),
    // closed only where the lines' ends crowd, are one with the strips
    // beside them and with what their tips close off;
    bool joinStrips = true;
    // letters' counters (the insides of O, A, B ...) are one with the
    // balloon around them: see BackgroundRules.h for what counts as a letter.
    bool foldCounters = true;
};

// Fraction of the work done (0 .. 1) and the stage's name; false cancels.
// Called from the calling thread only, as each stage begins and every few
// milliseconds of work within it; after a false, never again, and the run
// ends with Cancelled as soon as every worker has seen it.
using FProgress = std::function<bool(double fraction, const char* stage)>;

enum class EAutoFlatStatus : uint8_t {
    Ok,
    Cancelled,
    EmptyPage,       // no pixels, zero width or height, or no pixel data
    PageTooLarge,    // a side beyond kMaxSide
    HintsMismatch,   // hints page of another size or colour model
    BadSettings,     // negative gap, palette entries in another model, ...
    NoRegions,       // nothing but lines, and spot blacks are lines
    TooManyRegions,  // more than RegionLimit; the message gives the count
    OutOfMemory,
    Failed,  // anything else that went wrong; the message says what
};

constexpr int32_t kMaxSide = 65535;

struct SRegion {
    SColour colour;
    uint64_t pixels = 0;     // after melting
    bool fromHint = false;   // its colour is its hints' majority
    bool spotBlack = false;  // a solid black area
};

// What a pixel was to the run, one byte of these bits a pixel.
enum EPixelMark : uint8_t {
    // Line art: no region of its own, melted into one (spot blacks are
    // regions, so not marked).
    kMarkLine = 1,
    // With kMarkLine: the melt's search gave up at the page's border (or ran
    // out of depth), and the region beside it grew into it.
    kMarkLeft = 2,
    // Not line art, with a 4-neighbour that is not line art either but lies
    // in another region: gap closing, not a drawn line, parts them here.
    kMarkClosedGap = 4,
};

struct SAutoFlatResult {
    EAutoFlatStatus status = EAutoFlatStatus::Ok;
    std::string message;  // one line, for people, when status is not Ok
    int32_t width = 0;
    int32_t height = 0;
    EPageKind flatsKind = EPageKind::Rgb;
    std::vector<uint8_t> flats;    // packed rows, FlatsKind(page.kind)
    std::vector<uint32_t> labels;  // per pixel, after melting: an index into regions
    std::vector<SRegion> regions;
    std::vector<uint8_t> marks;  // per pixel, EPixelMark bits, when settings.pixelMarks asks
    int32_t gap = 0;             // the gap used
    int64_t minRegion = 0;
    uint32_t meltDepth = 0;   // the depth the melting pass ran at
    uint64_t linePixels = 0;  // pixels classed as line art (0: a page without lines, one region)
};

// `hints` may be null; when given it is a page of the same size and colour
// model (gray/RGB or CMYK), whose hints add to the page's own and decide
// where they are. Every colour of it is a hint, whatever its chroma (greys,
// pale colours): all but transparent pixels, white (no ink) and what the
// flat filter calls black. Never throws; every failure is a status and a
// message.
SAutoFlatResult AutoFlat(const SPageView& page, const SPageView* hints, const SAutoFlatSettings& settings,
                         const FProgress& progress = {});

// The most memory AutoFlat allocates for a page (the result included, the
// page itself not), so that a caller can refuse a page before reading it.
uint64_t PeakBytes(int32_t width, int32_t height, EPageKind kind, bool withHints, bool withMarks = false);

// The most regions a page may hold before small ones fold: a region's tables
// cost a few hundred bytes, so a page of noise or a checkerboard, with a
// region for every few pixels, would need many times the memory of line art.
// Such a page ends with TooManyRegions instead, and PeakBytes holds.
uint64_t RegionLimit(int32_t width, int32_t height);

// The gap that AutoFlat uses for a page of this size when settings.gap is 0.
int32_t DefaultGap(int32_t width, int32_t height, double dpi);

const char* StatusName(EAutoFlatStatus status);

}  // namespace autoflat
