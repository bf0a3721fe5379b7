// A host of the filter plug-in interface, small enough to reason about: it
// loads a plug-in, builds the filter record from a document and calls
// PluginMain selector by selector the way a host does. Tests, the
// command-line tool and the benchmarks all drive the plug-in through it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/HostInterface.h"
#include "sim/DescriptorStore.h"
#include "sim/HostHandles.h"
#include "sim/HostImage.h"
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
    int16_t result = 0;  // the first non-zero result, or 0
    bool Succeeded() const { return result == host::noErr; }
};

class CHostSimulator {
public:
    explicit CHostSimulator(const std::string& pluginPath = DefaultPluginPath());
    ~CHostSimulator();
    CHostSimulator(const CHostSimulator&) = delete;
    CHostSimulator& operator=(const CHostSimulator&) = delete;

    // The document: set before a run. `output` starts as a copy of `input`
    // and receives what the plug-in writes into the output buffers.
    void SetDocument(const SImageSpec& spec, const CHostImage& pixels);
    const SImageSpec& Spec() const { return spec_; }
    const CHostImage& Input() const { return input_; }
    const CHostImage& Output() const { return output_; }

    // One call of PluginMain with the current records; returns its result.
    int16_t Call(int16_t selector);

    // A whole run: Parameters when the user is to be asked, Prepare, Start,
    // Continue while the plug-in still requests rectangles, Finish. Stops at
    // the first failing selector, as hosts do. The descriptor's playInfo
    // says the same as `showDialog`: display, or don't display.
    SRunResult RunFilter(bool showDialog);

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
    std::function<void()> onProgress;  // called inside every progress report
    std::function<bool()> abortTest;   // replaces the report count rule when set
    std::function<void()> onDelivered;  // called once advanceState has delivered the pixels

    // What the plug-in did.
    std::vector<SProgressReport> progress;
    int abortCalls = 0;
    int advanceCalls = 0;
    std::vector<SRequest> requests;
    bool guardsIntact = true;  // no write outside the delivered buffers
    std::vector<std::string> trace;

    // Host state that outlives single calls.
    intptr_t dataSlot = 0;
    FilterRecord& Record() { return *record_; }
    AboutRecord& About() { return about_; }
    CHostHandles& Handles() { return handles_; }
    CDescriptorStore& Descriptors() { return descriptors_; }
    PlatformData platform{};
    SPBasicSuite basicSuite{};

    // Called by the C callbacks of the current simulator.
    OSErr AdvanceState();
    void Progress(int32_t done, int32_t total);
    bool Abort();

private:
    void ResetRecord();
    void CommitOutput();
    void CheckGuards();

    CPluginLibrary library_;
    CHostHandles handles_;
    CDescriptorStore descriptors_{handles_};
    std::string ownPrefsFolder_;
    std::unique_ptr<FilterRecord> record_;
    AboutRecord about_{};
    SImageSpec spec_;
    CHostImage input_;
    CHostImage output_;

    CGuardedBuffer inBuffer_;
    CGuardedBuffer outBuffer_;
    SBufferGeometry inGeometry_;
    SBufferGeometry outGeometry_;
    Rect deliveredOut_{};
    int16_t outLo_ = 0;
    int16_t outHi_ = -1;
};

}  // namespace sim
