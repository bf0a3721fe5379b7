#include "sim/HostSimulator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "resources/PluginCodes.h"

namespace sim {

namespace {

// The plug-in's callbacks carry no context: they reach the simulator that
// is making the current call.
CHostSimulator* gActive = nullptr;

OSErr AdvanceStateProc() { return gActive ? gActive->AdvanceState() : OSErr(host::paramErr); }
void ProgressProcC(int32_t done, int32_t total) {
    if (gActive) gActive->Progress(done, total);
}
Boolean AbortProcC() { return gActive && gActive->Abort() ? 1 : 0; }

SPErr AcquireSuite(const char*, int32_t, const void** suite) {
    if (suite) *suite = nullptr;
    return -1;
}
SPErr ReleaseSuite(const char*, int32_t) { return 0; }
SPBoolean IsEqual(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }
SPErr AllocateBlock(size_t size, void** block) {
    *block = std::malloc(size);
    return *block ? 0 : -1;
}
SPErr FreeBlock(void* block) {
    std::free(block);
    return 0;
}
SPErr ReallocateBlock(void* block, size_t size, void** out) {
    *out = std::realloc(block, size);
    return *out ? 0 : -1;
}
SPErr Undefined() { return -1; }

// A folder nobody else uses, under the system's temporary folder.
std::string MakePrivateFolder() {
    static std::atomic<unsigned> serial{0};
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return {};
    const auto stamp = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto folder = base / ("vandrel-sim-" + stamp + "-" + std::to_string(serial++));
        if (std::filesystem::create_directory(folder, error)) return folder.string();
    }
    return {};
}

void PointPrefsAt(const std::string& folder) {
#if defined(_WIN32)
    _putenv_s("VANDREL_PREFS_DIR", folder.c_str());
#else
    setenv("VANDREL_PREFS_DIR", folder.c_str(), 1);
#endif
}

// An environment variable of this process, which the plug-in shares, set
// for a scope when there is a value for it, and put back as it was.
class CScopedVariable {
public:
    CScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (!value) return;
        if (const char* old = std::getenv(name)) previous_ = old;
        Set(value->c_str());
        set_ = true;
    }
    ~CScopedVariable() {
        if (!set_) return;
        if (previous_)
            Set(previous_->c_str());
        else
            Unset();
    }
    CScopedVariable(const CScopedVariable&) = delete;
    CScopedVariable& operator=(const CScopedVariable&) = delete;

private:
#if defined(_WIN32)
    void Set(const char* value) { _putenv_s(name_, value); }
    void Unset() { _putenv_s(name_, ""); }
#else
    void Set(const char* value) { setenv(name_, value, 1); }
    void Unset() { unsetenv(name_); }
#endif
    const char* name_;
    std::optional<std::string> previous_;
    bool set_ = false;
};

bool RectInside(const Rect& r, int width, int height) {
    return r.top >= 0 && r.left >= 0 && r.top <= r.bottom && r.left <= r.right && r.bottom <= height &&
           r.right <= width;
}

}  // namespace

CHostSimulator::CHostSimulator(const std::string& pluginPath) : CHostSimulator(SHostQuirks{}, pluginPath) {}

CHostSimulator::CHostSimulator(const SHostQuirks& quirks, const std::string& pluginPath)
    : quirks_(quirks),
      library_(pluginPath),
      record_(std::make_unique<CFencedRecord>(quirks.shortRecordBytes ? quirks.shortRecordBytes
                                                                      : sizeof(FilterRecord))) {
    basicSuite = SPBasicSuite{AcquireSuite, ReleaseSuite,    IsEqual,  AllocateBlock,
                              FreeBlock,    ReallocateBlock, Undefined};
    ownPrefsFolder_ = MakePrivateFolder();
    prefsFolder = ownPrefsFolder_;
    ApplyHandleQuirks();
}

void CHostSimulator::ApplyHandleQuirks() {
    handles_.procs.handleProcsVersion = quirks_.handleProcsVersion;
    handles_.procs.numHandleProcs = quirks_.handleProcsCount;
    // A plug-in frees descriptors through handle procs it can use, and as
    // platform memory otherwise; a consistent host makes them accordingly.
    const bool usableProcs = !quirks_.handleProcsMissing &&
                             quirks_.handleProcsVersion == host::kCurrentHandleProcsVersion &&
                             quirks_.handleProcsCount >= host::kHandleProcsCount;
    descriptors_.platformHandles = !usableProcs;
}

CHostSimulator::~CHostSimulator() {
    if (gActive == this) gActive = nullptr;
    std::error_code ignored;
    if (!ownPrefsFolder_.empty()) std::filesystem::remove_all(ownPrefsFolder_, ignored);
}

void CHostSimulator::SetDocument(const SImageSpec& imageSpec, const CHostImage& pixels) {
    SetDocument(imageSpec, CHostImage(pixels));
}

void CHostSimulator::SetDocument(const SImageSpec& imageSpec, CHostImage&& pixels) {
    spec_ = imageSpec;
    // The old pages go first: a large document should not briefly cost
    // four copies.
    input_ = CHostImage();
    output_ = CHostImage();
    input_ = std::move(pixels);
    output_ = input_;
    outputIsInput_ = true;
    ResetRecord();
}

CHostImage CHostSimulator::TakeInput() {
    outputIsInput_ = false;
    return std::exchange(input_, CHostImage());
}

CHostImage CHostSimulator::TakeOutput() {
    outputIsInput_ = false;
    return std::exchange(output_, CHostImage());
}

void CHostSimulator::ResetRecord() {
    FilterRecord& r = Record();
    Handle parameters = r.parameters;
    PIDescriptorParameters* descriptors = r.descriptorParameters;
    std::memset(&r, 0, record_->Bytes());
    r.parameters = parameters;
    r.descriptorParameters = descriptors;
    r.abortProc = AbortProcC;
    r.progressProc = ProgressProcC;
    r.imageSize = Point{spec_.height, spec_.width};
    r.planes = spec_.planes;
    r.filterRect = Rect{0, 0, spec_.height, spec_.width};
    r.imageMode = spec_.imageMode;
    r.filterCase = spec_.filterCase;
    r.outLayerPlanes = spec_.outLayerPlanes;
    r.inLayerPlanes = spec_.outLayerPlanes;
    r.maxSpace = 64 << 20;
    r.hostSig = host::FourCC("8BIM");
    r.platformData = &platform;
    r.handleProcs = quirks_.handleProcsMissing ? nullptr : &handles_.procs;
    r.advanceState = AdvanceStateProc;
    r.imageHRes = r.imageVRes = 300 << 16;

    // Explicit steps describe the layout the host will deliver in; which
    // planes it delivers is only known once the plug-in asks, so the steps
    // assume the count a host expects for this filter case.
    if (spec_.layout != ELayout::Interleaved) {
        int expected = spec_.filterCase <= 2 ? spec_.planes
                                             : (spec_.outLayerPlanes ? spec_.outLayerPlanes : spec_.planes);
        SBufferGeometry g = GeometryFor(spec_, spec_.width, spec_.height, std::max(expected, 0));
        r.inColumnBytes = r.outColumnBytes = g.columnBytes;
        r.inPlaneBytes = r.outPlaneBytes = g.planeBytes;
    }
    about_.platformData = &platform;
}

void CHostSimulator::MoveRecord() {
    auto moved = std::make_unique<CFencedRecord>(record_->Bytes());
    moved->CopyFrom(*record_);
    record_->Retire();
    retiredRecords_.push_back(std::move(record_));
    record_ = std::move(moved);
}

void CHostSimulator::GiveSettings(std::optional<int32_t> depth, std::optional<bool> white) {
    std::vector<SDescriptorItem> items;
    if (depth) items.push_back(SDescriptorItem::Integer(kKeyMaxDepth, *depth));
    if (white) items.push_back(SDescriptorItem::Bool(kKeyPaintWhite, *white));
    descriptors_.Give(items);
}

void CHostSimulator::EndRun() {
    if (quirks_.dropsParametersHandle) {
        FilterRecord& r = Record();
        Handle parameters = r.parameters;
        r.parameters = nullptr;
        handles_.Dispose(parameters);
    }
    if (quirks_.newRecordEachRun) MoveRecord();
}

int16_t CHostSimulator::Call(int16_t selector) {
    if (quirks_.newRecordEachCall && selector != host::filterSelectorAbout) MoveRecord();
    FilterRecord& r = Record();
    r.sSPBasic = basicSuitePresent ? &basicSuite : nullptr;
    about_.sSPBasic = basicSuitePresent ? &basicSuite : nullptr;
    r.advanceState = advance == EAdvance::Absent ? nullptr : AdvanceStateProc;
    r.descriptorParameters = descriptorsPresent ? &descriptors_.parameters : nullptr;
    PointPrefsAt(prefsFolder);
    const CScopedVariable processorSwitch(
        "VANDREL_PROCESSORS",
        processors ? std::optional<std::string>(std::to_string(*processors)) : std::nullopt);
    const CScopedVariable searchSwitch(
        "VANDREL_FASTPATH",
        plainSearch ? std::optional<std::string>(*plainSearch ? "0" : "1") : std::nullopt);

    CHostSimulator* previous = gActive;
    gActive = this;
    handles_.MakeCurrent();
    descriptors_.MakeCurrent();
    if (quirks_.dropsDataSlot) dataSlot = 0;
    int16_t result = 0x7777;  // a value no plug-in returns: shows a missing store
    void* block =
        selector == host::filterSelectorAbout ? static_cast<void*>(&about_) : static_cast<void*>(&r);
    library_.Call(selector, block, &dataSlot, &result);
    descriptors_.AfterCall();
    gActive = previous;
    trace.push_back("call " + std::to_string(selector) + " -> " + std::to_string(result));

    if (!record_->GuardsIntact()) recordGuardsIntact = false;
    // Delivered buffers are valid until the plug-in returns from the call
    // they were delivered for: Start, or a Continue the host fed.
    if (selector == host::filterSelectorStart || selector == host::filterSelectorContinue) {
        CommitOutput();
        CheckGuards();
        inBuffer_.Release();
        outBuffer_.Release();
        lentInput_ = lentOutput_ = false;
    }
    return result;
}

bool CHostSimulator::WantsRectangles() const {
    const FilterRecord& r = *record_->Get();
    return r.inRect.bottom > r.inRect.top || r.outRect.bottom > r.outRect.top;
}

SRunResult CHostSimulator::RunFilter(bool showDialog) {
    SRunResult run;
    auto step = [&](int16_t selector) {
        int16_t code = Call(selector);
        run.calls.emplace_back(selector, code);
        if (code != host::noErr && run.result == host::noErr) run.result = code;
        return code == host::noErr;
    };
    // Hosts stop at the first failing selector; some go on regardless.
    auto failed = [&](bool ok) {
        if (ok || quirks_.finishesAfterFailure) return false;
        EndRun();
        return true;
    };
    progress.clear();
    descriptors_.parameters.playInfo = showDialog ? host::plugInDialogDisplay : host::plugInDialogDontDisplay;
    if (showDialog && failed(step(host::filterSelectorParameters))) return run;
    if (failed(step(host::filterSelectorPrepare))) return run;
    const bool started = step(host::filterSelectorStart);
    if (failed(started)) return run;

    // A plug-in that keeps asking for rectangles gets a bounded number of turns.
    const bool continues = started || quirks_.continuesWhileRectsNonEmpty;
    for (int turn = 0; continues && turn < 1000; ++turn) {
        FilterRecord& r = Record();
        const bool refill = turn < quirks_.refilledContinues;
        if (refill) r.inRect = r.outRect = r.filterRect;
        if (!refill && !WantsRectangles()) break;
        // A later request finds the output as the plug-in left it so far.
        if (quirks_.continuesWhileRectsNonEmpty && DeliverRequest(output_) != host::noErr) break;
        if (failed(step(host::filterSelectorContinue))) return run;
    }
    step(host::filterSelectorFinish);
    EndRun();
    return run;
}

OSErr CHostSimulator::AdvanceState() {
    ++advanceCalls;
    trace.push_back("advanceState");
    {
        const FilterRecord& q = Record();
        requests.push_back({q.inRect, q.outRect, q.inLoPlane, q.inHiPlane, q.outLoPlane, q.outHiPlane});
    }
    if (advance == EAdvance::Fail) return advanceError;
    // The output area starts as a copy of the source, as hosts hand it out.
    const OSErr delivered = DeliverRequest(input_);
    if (delivered == host::noErr && onDelivered) onDelivered();
    return delivered;
}

OSErr CHostSimulator::DeliverRequest(const CHostImage& outSource) {
    CommitOutput();
    CheckGuards();
    FilterRecord& r = Record();
    const int planes = input_.Planes();
    const bool inPlanesOk = r.inLoPlane >= 0 && r.inHiPlane < planes && r.inLoPlane <= r.inHiPlane + 1;
    const bool outPlanesOk = r.outLoPlane >= 0 && r.outHiPlane < planes && r.outLoPlane <= r.outHiPlane + 1;
    if (!RectInside(r.inRect, spec_.width, spec_.height) ||
        !RectInside(r.outRect, spec_.width, spec_.height) || !inPlanesOk || !outPlanesOk)
        return host::paramErr;

    auto deliver = [&](const Rect& rect, int lo, int hi, CGuardedBuffer& buffer, SBufferGeometry& geometry,
                       const CHostImage& source) -> void* {
        const int w = rect.right - rect.left, h = rect.bottom - rect.top, n = hi - lo + 1;
        geometry = GeometryFor(spec_, w, h, n);
        buffer.Allocate(geometry.size);
        if (geometry.size == 0) return nullptr;
        uint8_t* origin = buffer.Data() + geometry.origin;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < n; ++k)
                    origin[ptrdiff_t(y) * geometry.rowBytes + ptrdiff_t(x) * geometry.columnBytes +
                           ptrdiff_t(k) * geometry.planeBytes] =
                        source.At(rect.left + x, rect.top + y, lo + k);
        return origin;
    };

    inBuffer_.Release();
    outBuffer_.Release();
    lentInput_ = CoversDocument(r.inRect, r.inLoPlane, r.inHiPlane);
    lentOutput_ = CoversDocument(r.outRect, r.outLoPlane, r.outHiPlane);
    if (lentInput_) {
        inGeometry_ = GeometryFor(spec_, spec_.width, spec_.height, r.inHiPlane - r.inLoPlane + 1);
        r.inData = input_.Bytes().data();
    } else {
        r.inData = deliver(r.inRect, r.inLoPlane, r.inHiPlane, inBuffer_, inGeometry_, input_);
    }
    r.inRowBytes = inGeometry_.rowBytes;
    if (lentOutput_) {
        // The output area starts as a copy of `outSource`, lent or not.
        if (&outSource != &output_ && !(&outSource == &input_ && outputIsInput_))
            std::copy(outSource.Bytes().begin(), outSource.Bytes().end(), output_.Bytes().begin());
        outputIsInput_ = false;
        outGeometry_ = GeometryFor(spec_, spec_.width, spec_.height, r.outHiPlane - r.outLoPlane + 1);
        r.outData = output_.Bytes().data();
    } else {
        r.outData = deliver(r.outRect, r.outLoPlane, r.outHiPlane, outBuffer_, outGeometry_, outSource);
        outputIsInput_ = false;  // what the plug-in writes there is committed later
    }
    r.outRowBytes = outGeometry_.rowBytes;
    // The steps announced before the request assumed a plane count; what is
    // delivered is described as it is, for as many planes as were asked for.
    if (spec_.layout != ELayout::Interleaved) {
        r.inColumnBytes = inGeometry_.columnBytes;
        r.inPlaneBytes = inGeometry_.planeBytes;
        r.outColumnBytes = outGeometry_.columnBytes;
        r.outPlaneBytes = outGeometry_.planeBytes;
    }
    deliveredOut_ = r.outRect;
    outLo_ = r.outLoPlane;
    outHi_ = r.outHiPlane;
    return host::noErr;
}

// The document is stored interleaved, every plane of a pixel together. A
// request for all of it is lent as it is; so is a layer's request for its
// colour planes when the host steps over the transparency after them,
// which is how a layer with transparency is laid out.
bool CHostSimulator::CoversDocument(const Rect& rect, int lo, int hi) const {
    if (spec_.layout == ELayout::Planar || spec_.rowPadding != 0 || spec_.bottomUp || lo != 0) return false;
    if (rect.top != 0 || rect.left != 0 || rect.bottom != spec_.height || rect.right != spec_.width)
        return false;
    if (input_.Width() != spec_.width || input_.Height() != spec_.height || input_.Bytes().empty())
        return false;
    const SBufferGeometry steps = GeometryFor(spec_, spec_.width, spec_.height, hi - lo + 1);
    return hi < input_.Planes() && steps.columnBytes == input_.Planes();
}

void CHostSimulator::CommitOutput() {
    if (outBuffer_.Size() == 0) return;
    const Rect& rect = deliveredOut_;
    const uint8_t* origin = outBuffer_.Data() + outGeometry_.origin;
    for (int y = 0; y < rect.bottom - rect.top; ++y)
        for (int x = 0; x < rect.right - rect.left; ++x)
            for (int k = 0; k <= outHi_ - outLo_; ++k)
                output_.At(rect.left + x, rect.top + y, outLo_ + k) =
                    origin[ptrdiff_t(y) * outGeometry_.rowBytes + ptrdiff_t(x) * outGeometry_.columnBytes +
                           ptrdiff_t(k) * outGeometry_.planeBytes];
}

void CHostSimulator::CheckGuards() {
    if (!inBuffer_.GuardsIntact() || !outBuffer_.GuardsIntact()) guardsIntact = false;
    if ((lentInput_ && !input_.GuardsIntact()) || (lentOutput_ && !output_.GuardsIntact()))
        guardsIntact = false;
}

void CHostSimulator::Progress(int32_t done, int32_t total) {
    progress.push_back({done, total});
    if (onProgress) onProgress();
}

bool CHostSimulator::Abort() {
    ++abortCalls;
    if (abortTest) return abortTest();
    return abortAfterReports >= 0 && int(progress.size()) >= abortAfterReports;
}

}  // namespace sim
