// A whole filter run through PluginMain on a small fuzzed image: any size,
// mode, plane counts, filter case, steps, depth and remainder, on one
// thread or several, cancelled at any report. The host delivers exactly
// the buffers its steps describe, no byte more, so any access outside them
// is caught; the pixels that come back are checked against the rules.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzHostTables.h"
#include "hostapi/HostInterface.h"
#include "params/HandleParams.h"

extern "C" void PluginMain(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result);

namespace {

FuzzedDataProvider* gInput = nullptr;

// The rule the pixels are checked against, written out here rather than
// taken from the code under test: a CMYK pixel is black when its K byte is
// below 60, any other when every plane is at most 8.
constexpr uint8_t kCmykBlackBelow = 60;
constexpr uint8_t kRgbBlackAtMost = 8;

// --- The host's side of one run -------------------------------------------------

struct SSteps {
    int32_t row, column, plane;
};

// Where pixel (x, y) plane k sits, relative to the buffer's origin.
ptrdiff_t Offset(const SSteps& s, int x, int y, int k) {
    return ptrdiff_t(y) * s.row + ptrdiff_t(x) * s.column + ptrdiff_t(k) * s.plane;
}

struct SBuffer {
    std::vector<uint8_t*> keep;  // exact-size block; freed after Start
    uint8_t* block = nullptr;
    uint8_t* origin = nullptr;
    size_t size = 0;
};

struct SRun {
    int width = 0, height = 0, docPlanes = 0;
    std::vector<uint8_t> pixels;  // the document, interleaved, docPlanes per pixel
    SSteps in{}, out{};           // the layout the host delivers in, chosen before Start
    int32_t inColumnGiven = 0, inPlaneGiven = 0, outColumnGiven = 0, outPlaneGiven = 0;
    int cancelAfter = -1;
    int reports = 0;
    int advanceCalls = 0;
    SBuffer inBuffer, outBuffer;
    int requestedPlanes = 0;
    FilterRecord* record = nullptr;
};
SRun gRun;

uint8_t Document(int x, int y, int k) {
    return gRun.pixels[(size_t(y) * gRun.width + x) * gRun.docPlanes + k];
}

// A block exactly as long as the addresses the steps reach for this many
// planes, with the origin placed so that negative steps stay inside it.
SBuffer Deliver(const SSteps& steps, int planes) {
    SBuffer buffer;
    ptrdiff_t low = 0, high = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const ptrdiff_t at =
            Offset(steps, corner & 1 ? std::max(gRun.width - 1, 0) : 0,
                   corner & 2 ? std::max(gRun.height - 1, 0) : 0, corner & 4 ? std::max(planes - 1, 0) : 0);
        low = std::min(low, at);
        high = std::max(high, at);
    }
    buffer.size = size_t(high - low + 1);
    buffer.block = static_cast<uint8_t*>(std::malloc(buffer.size));
    std::memset(buffer.block, 0xEE, buffer.size);
    buffer.origin = buffer.block - low;
    for (int y = 0; y < gRun.height; ++y)
        for (int x = 0; x < gRun.width; ++x)
            for (int k = 0; k < planes; ++k) buffer.origin[Offset(steps, x, y, k)] = Document(x, y, k);
    return buffer;
}

OSErr HostAdvanceState() {
    FilterRecord& r = *gRun.record;
    ++gRun.advanceCalls;
    FUZZ_CHECK(gRun.advanceCalls == 1, "the image was asked for twice");
    const Rect whole{0, 0, int16_t(gRun.height), int16_t(gRun.width)};
    auto same = [](const Rect& a, const Rect& b) {
        return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
    };
    FUZZ_CHECK(same(r.inRect, whole) && same(r.outRect, whole), "not the whole image requested");
    FUZZ_CHECK(r.inLoPlane == 0 && r.outLoPlane == 0 && r.inHiPlane == r.outHiPlane, "odd planes requested");
    const int planes = r.inHiPlane + 1;
    // A host has no more planes than its document.
    if (planes > gRun.docPlanes) return host::paramErr;
    gRun.requestedPlanes = planes;
    gRun.inBuffer = Deliver(gRun.in, planes);
    gRun.outBuffer = Deliver(gRun.out, planes);
    r.inData = gRun.inBuffer.origin;
    r.outData = gRun.outBuffer.origin;
    r.inRowBytes = gRun.in.row;
    r.outRowBytes = gRun.out.row;
    return host::noErr;
}

void HostProgress(int32_t done, int32_t total) {
    FUZZ_CHECK(done >= 0 && done <= total && total == gRun.height, "progress beyond the image");
    ++gRun.reports;
}

Boolean HostAbort() { return gRun.cancelAfter >= 0 && gRun.reports >= gRun.cancelAfter; }

// Parameters handle procs: one 12-byte block, made by the harness.
Handle HostNew(int32_t) { return nullptr; }
void HostDispose(Handle) {}
int32_t HostGetSize(Handle) { return kParamsBlockSize; }
OSErr HostSetSize(Handle, int32_t size) { return size == kParamsBlockSize ? host::noErr : host::memFullErr; }
Ptr HostLock(Handle h, Boolean) { return *h; }
void HostUnlock(Handle) {}
void HostRecoverSpace(int32_t) {}

SPErr AcquireSuite(const char*, int32_t, const void** suite) {
    *suite = nullptr;
    return -1;
}
SPErr ReleaseSuite(const char*, int32_t) { return 0; }
SPBoolean IsEqual(const char* a, const char* b) { return std::strcmp(a, b) == 0; }
SPErr AllocateBlock(size_t size, void** block) {
    *block = std::malloc(size);
    return 0;
}
SPErr FreeBlock(void* block) {
    std::free(block);
    return 0;
}
SPErr ReallocateBlock(void* block, size_t size, void** out) {
    *out = std::realloc(block, size);
    return 0;
}
SPErr Undefined() { return -1; }

// --- Choosing the layout ---------------------------------------------------------

// Either steps that give every pixel plane its own byte, in any order of
// rows, columns and planes, with padding and either sign; or small raw
// steps of any kind, which may make pixels share bytes.
SSteps AnySteps(FuzzedDataProvider& in, int planes, int32_t& columnGiven, int32_t& planeGiven) {
    SSteps steps{};
    const int form = in.ConsumeIntegralInRange(0, 3);
    if (form == 0) {
        // The plug-in's defaults: interleaved, column step n, plane step 1.
        columnGiven = planeGiven = 0;
        steps.plane = 1;
        steps.column = planes;
        steps.row = gRun.width * planes + in.ConsumeIntegralInRange(0, 3);
        if (in.ConsumeBool()) steps.row = -steps.row;
        return steps;
    }
    if (form == 3) {
        steps.row = in.ConsumeIntegralInRange(-300, 300);
        steps.column = in.ConsumeIntegralInRange(-20, 20);
        steps.plane = in.ConsumeIntegralInRange(-20, 20);
        if (steps.column == 0) steps.column = planes;
        if (steps.plane == 0) steps.plane = 1;
    } else {
        // Innermost first: planes then columns (interleaved) or columns then
        // rows then planes (planar).
        const int32_t pad = in.ConsumeIntegralInRange(0, 2);
        if (form == 1) {
            steps.plane = 1;
            steps.column = planes + pad;
            steps.row = gRun.width * steps.column + in.ConsumeIntegralInRange(0, 3);
        } else {
            steps.column = 1 + pad;
            steps.row = gRun.width * steps.column + in.ConsumeIntegralInRange(0, 3);
            steps.plane = gRun.height * steps.row + in.ConsumeIntegralInRange(0, 3);
        }
        if (in.ConsumeBool()) steps.row = -steps.row;
        if (in.ConsumeBool()) steps.column = -steps.column;
        if (in.ConsumeBool()) steps.plane = -steps.plane;
    }
    columnGiven = steps.column;
    planeGiven = steps.plane;
    return steps;
}

// Every plane of every pixel has a byte of its own.
bool Distinct(const SSteps& steps, int planes) {
    std::set<ptrdiff_t> seen;
    for (int y = 0; y < gRun.height; ++y)
        for (int x = 0; x < gRun.width; ++x)
            for (int k = 0; k < planes; ++k)
                if (!seen.insert(Offset(steps, x, y, k)).second) return false;
    return true;
}

// The count a host expects the plug-in to ask for, before it asks.
int ExpectedPlanes(const FilterRecord& r) {
    if (r.filterCase <= 2) return r.planes;
    return r.outLayerPlanes ? r.outLayerPlanes : r.planes;
}

struct SPrefsFolder {
    SPrefsFolder() {
        // An empty folder of its own: no preferences file to read.
        char folder[] = "/tmp/vandrel-fuzz-XXXXXX";
        if (mkdtemp(folder)) setenv("VANDREL_PREFS_DIR", folder, 1);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SPrefsFolder prefs;
    FuzzedDataProvider in(data, size);
    gInput = &in;
    gRun = SRun{};

    FilterRecord record{};
    gRun.record = &record;
    gRun.width = in.ConsumeIntegralInRange(0, 24);
    gRun.height = in.ConsumeIntegralInRange(0, 24);
    record.imageSize = Point{int16_t(gRun.height), int16_t(gRun.width)};
    if (in.ConsumeIntegralInRange(0, 31) == 0) record.imageSize.v = -1;
    static const int16_t kModes[] = {host::plugInModeRGBColor, host::plugInModeCMYKColor, 1, 2, 7, 9};
    record.imageMode = kModes[in.ConsumeIntegralInRange<size_t>(0, std::size(kModes) - 1)];
    record.planes = in.ConsumeIntegralInRange<int16_t>(0, 5);
    record.filterCase = in.ConsumeIntegralInRange<int16_t>(0, 7);
    record.outLayerPlanes = in.ConsumeIntegralInRange<int16_t>(0, 5);
    gRun.docPlanes = std::max<int>(record.planes, 1);
    const int expected = std::max(ExpectedPlanes(record), 0);
    gRun.in = AnySteps(in, std::max(expected, 1), gRun.inColumnGiven, gRun.inPlaneGiven);
    gRun.out = AnySteps(in, std::max(expected, 1), gRun.outColumnGiven, gRun.outPlaneGiven);
    record.inColumnBytes = gRun.inColumnGiven;
    record.inPlaneBytes = gRun.inPlaneGiven;
    record.outColumnBytes = gRun.outColumnGiven;
    record.outPlaneBytes = gRun.outPlaneGiven;

    // The parameters: a block in the handle, which Start takes since this
    // host offers no descriptors; now and then one that is not valid.
    CVandrelParams params;
    params.maxDepth = in.ConsumeIntegralInRange<uint16_t>(0, 40);
    const char remainders[] = {'W', 'B', 'w', '\0'};
    params.remainder = remainders[in.ConsumeIntegralInRange(0, 3)];
    if (in.ConsumeIntegralInRange(0, 15) == 0) params.version = 2;
    uint8_t block[kParamsBlockSize] = {};
    EncodeParamsBlock(params, block);
    char* blockPointer = reinterpret_cast<char*>(block);
    record.parameters = &blockPointer;

    setenv("VANDREL_PROCESSORS", std::to_string(in.ConsumeIntegralInRange(1, 4)).c_str(), 1);
    gRun.cancelAfter = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 3) : -1;

    const std::vector<uint8_t> noise = in.ConsumeRemainingBytes<uint8_t>();
    gRun.pixels.resize(size_t(gRun.width) * gRun.height * gRun.docPlanes);
    for (size_t i = 0; i < gRun.pixels.size(); ++i) {
        // Mostly black and a few colours, so that the search has work.
        const uint8_t v = noise.empty() ? 0 : noise[i % noise.size()];
        gRun.pixels[i] = v < 128 ? uint8_t(v & 15) : v;
    }

    HandleProcs handleProcs = fuzz_host::HandleTable(HostNew, HostDispose, HostGetSize, HostSetSize, HostLock,
                                                     HostUnlock, HostRecoverSpace);
    SPBasicSuite basic{AcquireSuite, ReleaseSuite,    IsEqual,  AllocateBlock,
                       FreeBlock,    ReallocateBlock, Undefined};
    PlatformData platform{};
    record.abortProc = HostAbort;
    record.progressProc = HostProgress;
    record.advanceState = HostAdvanceState;
    record.handleProcs = &handleProcs;
    record.sSPBasic = &basic;
    record.platformData = &platform;

    intptr_t slot = 0;
    int16_t result = 0;
    PluginMain(host::filterSelectorPrepare, &record, &slot, &result);
    FUZZ_CHECK(result == host::noErr, "Prepare failed");
    PluginMain(host::filterSelectorStart, &record, &slot, &result);
    const int16_t started = result;
    FUZZ_CHECK(started == host::noErr || started == host::filterBadParameters || started == host::paramErr,
               "Start answered with a code of its own making");

    // The pixels: a colour pixel is never changed; a black one keeps the
    // host's value or takes a copy of some pixel's planes, or white.
    const int n = gRun.requestedPlanes;
    if (gRun.outBuffer.block && n > 0 && Distinct(gRun.out, n) && Distinct(gRun.in, n)) {
        const bool cmyk = record.imageMode == host::plugInModeCMYKColor;
        std::set<std::vector<uint8_t>> sources;
        for (int y = 0; y < gRun.height; ++y)
            for (int x = 0; x < gRun.width; ++x) {
                std::vector<uint8_t> pixel(n);
                for (int k = 0; k < n; ++k) pixel[k] = Document(x, y, k);
                sources.insert(pixel);
            }
        for (int y = 0; y < gRun.height; ++y)
            for (int x = 0; x < gRun.width; ++x) {
                std::vector<uint8_t> before(n), after(n);
                for (int k = 0; k < n; ++k) {
                    before[k] = Document(x, y, k);
                    after[k] = gRun.outBuffer.origin[Offset(gRun.out, x, y, k)];
                }
                if (after == before) continue;
                const bool black = cmyk ? n > 3 && before[3] < kCmykBlackBelow
                                        : std::all_of(before.begin(), before.end(),
                                                      [](uint8_t v) { return v <= kRgbBlackAtMost; });
                FUZZ_CHECK(black, "a colour pixel was changed");
                FUZZ_CHECK(started == host::noErr, "a failed Start changed pixels");
                const bool white =
                    std::all_of(after.begin(), after.end(), [](uint8_t v) { return v == 255; });
                FUZZ_CHECK(sources.count(after) || white, "a pixel got a value from nowhere");
            }
    }
    std::free(gRun.inBuffer.block);
    std::free(gRun.outBuffer.block);

    PluginMain(host::filterSelectorFinish, &record, &slot, &result);
    FUZZ_CHECK(result == host::noErr && slot == 0, "Finish left something behind");
    gInput = nullptr;
    return 0;
}
