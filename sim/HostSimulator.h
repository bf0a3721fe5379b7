// A host of the filter plug-in interface, small enough to reason about: it
// loads a plug-in, builds the filter record from a document and calls
// PluginMain selector by selector the way a host does. Tests, the
// command-line tool and the benchmarks all drive the plug-in through it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hostapi/HostInterface.h"
#include "sim/DescriptorStore.h"
#include "sim/SimulatedHandles.h"
#include "sim/FencedRecord.h"
#include "sim/HostImage.h"
#include "sim/HostQuirks.h"
#include "sim/PluginLibrary.h"

namespace sim {

// What advanceState does when the plug-in calls it.
enum class EAdvance { Deliver, Fail, Absent };

// What the plug-in asked for when it called advanceState.
struct SRequest {
    Rect inRect;
    Rect outRect;
    int16_t inLoPlane, inHiPlane, outLoPlane, outHiPlane;
};

struct SProgressReport {
    int32_t done;
    int32_t total;
};

// The outcome of one filter run.
struct SRunResult {
    std::vector<std::pair<int16_t, int16_t>> calls;  // (selector, result) in order
    int16_t result = 0;                              // the first non-zero result, or 0
    bool Succeeded() const { return result == host::noErr; }
};

class CHostSimulator {
public:
    explicit CHostSimulator(const std::string& pluginPath = DefaultPluginPath());
    // A host with the departures from the interface that `quirks` names.
    explicit CHostSimulator(const SHostQuirks& quirks, const std::string& pluginPath = DefaultPluginPath());
    ~CHostSimulator();
    CHostSimulator(const CHostSimulator&) = delete;
    CHostSimulator& operator=(const CHostSimulator&) = delete;

    // The document: set before a run. `output` starts as a copy of `input`
    // and receives what the plug-in writes into the output buffers.
    void SetDocument(const SImageSpec& imageSpec, const CHostImage& pixels);
    // The same, keeping `pixels` themselves as the input: a large page then
    // costs two copies (input and output), as in a host, rather than four.
    void SetDocument(const SImageSpec& imageSpec, CHostImage&& pixels);
    const SImageSpec& ImageSpec() const { return spec_; }
    const CHostImage& Input() const { return input_; }
    const CHostImage& Output() const { return output_; }
    // Hands the pixels over and leaves the document empty.
    CHostImage TakeInput();
    CHostImage TakeOutput();

    // One call of PluginMain with the current records; returns its result.
    int16_t Call(int16_t selector);

    // A whole run: Parameters when the user is to be asked, Prepare, Start,
    // Continue while the plug-in still requests rectangles, Finish. Stops at
    // the first failing selector, as hosts do. The descriptor's playInfo
    // says the same as `showDialog`: display, or don't display. Ends with
    // EndRun.
    SRunResult RunFilter(bool showDialog);

    // The host is done with a run: a host that keeps neither its record nor
    // the parameters handle between runs lets go of them here. RunFilter
    // calls it; a test that makes the calls itself may.
    void EndRun();

    const SHostQuirks& Quirks() const { return quirks_; }

    // The two settings as an action plays them in: the descriptor the
    // plug-in reads, holding the keys given and only those.
    void GiveSettings(std::optional<int32_t> depth, std::optional<bool> white);

    // Options a test may change between calls.
    EAdvance advance = EAdvance::Deliver;
    OSErr advanceError = host::memFullErr;
    int abortAfterReports = -1;  // abortProc says "cancel" once this many reports were made
    bool basicSuitePresent = true;
    bool descriptorsPresent = true;  // else the record's descriptorParameters is null
    // The plug-in's preferences folder (VANDREL_PREFS_DIR, set around every
    // call): a fresh folder of this simulator's own, removed with it, so no
    // run reads or writes the real user's file. Empty: no folder at all.
    std::string prefsFolder;
    // The Linux plug-in's switches, set in its environment for the length of
    // every call and put back afterwards: act as on a machine with this many
    // processors (1: the pass in the host's thread), and the plain search
    // instead of the distance-assisted walk. Unset, the plug-in sees the
    // environment as it is. The Windows plug-in reads neither.
    std::optional<int> processors;
    std::optional<bool> plainSearch;
    std::function<void()> onProgress;   // called inside every progress report
    std::function<bool()> abortTest;    // replaces the report count rule when set
    std::function<void()> onDelivered;  // called once advanceState has delivered the pixels

    // What the plug-in did.
    std::vector<SProgressReport> progress;
    int abortCalls = 0;
    int advanceCalls = 0;
    std::vector<SRequest> requests;
    bool guardsIntact = true;        // no write outside the delivered buffers
    bool recordGuardsIntact = true;  // no write past the end of the filter record
    std::vector<std::string> trace;

    // Host state that outlives single calls.
    intptr_t dataSlot = 0;
    // Only the record's first Quirks().shortRecordBytes bytes exist when
    // the host plays an older one.
    FilterRecord& Record() { return *record_->Get(); }
    AboutRecord& About() { return about_; }
    CSimulatedHandles& Handles() { return handles_; }
    CDescriptorStore& Descriptors() { return descriptors_; }
    PlatformData platform{};
    SPBasicSuite basicSuite{};

    // Called by the C callbacks of the current simulator.
    OSErr AdvanceState();
    void Progress(int32_t done, int32_t total);
    bool Abort();

private:
    void ResetRecord();
    void MoveRecord();
    void ApplyHandleQuirks();
    // Fills buffers for the rectangles and planes the record asks for.
    OSErr DeliverRequest(const CHostImage& outSource);
    // A request for the whole document, every plane, in the document's own
    // layout gets the document's pixels themselves, not a copy.
    bool CoversDocument(const Rect& rect, int lo, int hi) const;
    void CommitOutput();
    void CheckGuards();
    bool WantsRectangles() const;

    SHostQuirks quirks_;
    CPluginLibrary library_;
    CSimulatedHandles handles_;
    CDescriptorStore descriptors_{handles_};
    std::string ownPrefsFolder_;
    std::unique_ptr<CFencedRecord> record_;
    std::vector<std::unique_ptr<CFencedRecord>> retiredRecords_;
    AboutRecord about_{};
    SImageSpec spec_;
    CHostImage input_;
    CHostImage output_;

    CGuardedBuffer inBuffer_;
    CGuardedBuffer outBuffer_;
    SBufferGeometry inGeometry_;
    SBufferGeometry outGeometry_;
    Rect deliveredOut_{};
    bool lentInput_ = false;      // inData points into input_ itself
    bool lentOutput_ = false;     // outData points into output_ itself
    bool outputIsInput_ = false;  // output_ holds input_'s pixels, untouched
    int16_t outLo_ = 0;
    int16_t outHi_ = -1;
};

}  // namespace sim
