#include "host/VandrelFilter.h"

#include "engine/FlatPass.h"
#include "host/AboutBox.h"
#include "host/ImageRequest.h"
#include "host/PassSwitches.h"
#include "host/ProcessorCount.h"
#include "resources/PluginInfo.h"

CVandrelFilter::CVandrelFilter() {
    productName = VANDREL_PRODUCT_NAME;
    versionText = VANDREL_VERSION_TEXT;
    copyrightText = VANDREL_COPYRIGHT;
    homePage = VANDREL_HOME_PAGE;
}

CVandrelFilter::~CVandrelFilter() = default;

OSErr CVandrelFilter::About() {
    ShowAboutBox();
    return host::noErr;
}

int CVandrelFilter::ShowAboutBox() { return ::ShowAboutBox(aboutRecord); }

OSErr CVandrelFilter::Parameters() { return AskForParameters(ParameterSteps()); }

OSErr CVandrelFilter::Prepare() {
    filterRecord->maxSpace = 0;
    filterRecord->bufferSpace = 0;
    LoadPrefs();
    return host::noErr;
}

OSErr CVandrelFilter::Start() {
    // The dialog rule: when the host would show the dialog (or cannot
    // script at all), the values confirmed in Parameters travel in the
    // parameters handle, which then overrides everything else.
    if (!StartParametersReady(ParameterSteps())) return host::filterBadParameters;
    if (!filterRecord->advanceState) return host::filterBadParameters;
    // Like the two refusals above, one that needs no pixels asks for none
    // and leaves the record and the descriptor as they are.
    if (!CanFlat(*filterRecord)) return host::filterBadParameters;

    OSErr result = FlatDeliveredImage();

    ClearRectangles(*filterRecord);
    WriteScriptParams(params);
    return result;
}

bool CVandrelFilter::CanFlat(const FilterRecord& record) {
    const int16_t planeCount = PlaneCount(record);
    // Negative counts or sizes can only come from a broken host; requesting
    // them would make every address of the pass wrong.
    if (planeCount < 0 || record.imageSize.v < 0 || record.imageSize.h < 0) return false;
    // The CMYK test reads the K plane, plane 3.
    return record.imageMode != host::plugInModeCMYKColor || planeCount >= 4;
}

OSErr CVandrelFilter::FlatDeliveredImage() {
    FilterRecord& record = *filterRecord;
    const int16_t planeCount = PlaneCount(record);
    const SImageSteps steps = RequestWholeImage(record, planeCount);
    OSErr result = record.advanceState();
    if (result != host::noErr) return result;

    const SFlatImage image = DeliveredImage(record, steps, planeCount);
    const SPassSwitches switches = ReadPassSwitches();
    const int processors = ProcessorCount(switches.processors);
    if (processors == 1) search.maxRings = params.maxDepth;
    SPassSettings settings;
    settings.maxDepth = params.maxDepth;
    settings.paintWhite = params.PaintsWhite();
    settings.method = switches.method;
    RunFlatPass(image, search, settings, *this, processors);
    return host::noErr;
}

void CVandrelFilter::ReportProgress(int32_t done) {
    if (filterRecord->progressProc) filterRecord->progressProc(done, filterRecord->inRect.bottom);
}

bool CVandrelFilter::TestAbort() { return filterRecord->abortProc && filterRecord->abortProc() != 0; }

void CVandrelFilter::AddRowsDone(int32_t rows) {
    boost::mutex::scoped_lock lock(progressMutex);
    rowsDone += rows;
}

int32_t CVandrelFilter::RowsDone() const {
    boost::mutex::scoped_lock lock(progressMutex);
    return rowsDone;
}
