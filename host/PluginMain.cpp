// The entry point: every host call arrives here, and every failure leaves
// here as a host result code. Nothing below it reports errors any other way.
#include "host/HostInterface.h"
#include "host/PluginGlobals.h"
#include "host/VandrelFilter.h"

#if defined(_WIN32)
#define VANDREL_EXPORT extern "C" __declspec(dllexport)
#else
#define VANDREL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

// The one filter object alive, whichever call created it. The slot is the
// host's memory: an address found there is followed only when it is this
// one. A host that does not keep the slot hands it back empty, which would
// otherwise leave this object behind with nothing pointing to it, and a
// value we never stored there is not ours to touch at all.
CPSFilter* gLiveFilter = nullptr;

// An object left in the slot by an exception may be half-updated (a search
// ring only partly built) and still points at the records of the call that
// created it. It is never used again: the next call discards it.
bool gLiveFilterAbandoned = false;

void DestroyLiveFilter(intptr_t* data) {
    CPSFilter* filter = gLiveFilter;
    gLiveFilter = nullptr;
    gLiveFilterAbandoned = false;
    if (data && *data == reinterpret_cast<intptr_t>(filter)) *data = 0;
    if (gFilter == filter) gFilter = nullptr;
    delete filter;
}

// A host may unload the plug-in, or quit, with an object still alive: a run
// it never finished, or an object an exception left behind. Nobody else can
// free it.
struct SReleaseAtUnload {
    ~SReleaseAtUnload() { DestroyLiveFilter(nullptr); }
} gReleaseAtUnload;

// The selector the live object served last.
int16_t gLastSelector = 0;

// Whether `selector` is the next step of the run whose step `last` was: a
// call the host may make with a record of its own for the same run.
bool CarriesOnRun(int16_t last, int16_t selector) {
    switch (selector) {
        case host::filterSelectorPrepare:
            return last == host::filterSelectorParameters;
        case host::filterSelectorStart:
            return last == host::filterSelectorPrepare;
        case host::filterSelectorContinue:
        case host::filterSelectorFinish:
            return last == host::filterSelectorStart || last == host::filterSelectorContinue;
        default:
            return false;
    }
}

// An object serves the calls made with the records it was created with, and
// the later steps of its run when the host hands each step a record of its
// own: what Parameters and Prepare loaded must reach Start. It then works
// with the record of the call in hand, never the one before, which the host
// may have freed. Anything else means the host has ended that run.
bool ServesCall(CPSFilter& filter, int16_t selector, FilterRecord* filterRecord, AboutRecord* aboutRecord) {
    if (gLiveFilterAbandoned) return false;
    if (filter.filterRecord == filterRecord && filter.aboutRecord == aboutRecord) return true;
    if (!filterRecord || !filter.filterRecord || filter.aboutRecord || !CarriesOnRun(gLastSelector, selector))
        return false;
    filter.filterRecord = filterRecord;
    return true;
}

OSErr Route(CPSFilter& filter, int16_t selector) {
    switch (selector) {
        case host::filterSelectorAbout:
            return filter.About();
        case host::filterSelectorParameters:
            return filter.Parameters();
        case host::filterSelectorPrepare:
            return filter.Prepare();
        case host::filterSelectorStart:
            return filter.Start();
        case host::filterSelectorContinue:
            return filter.Continue();
        case host::filterSelectorFinish:
            return filter.Finish();
        default:
            return host::filterBadParameters;
    }
}

}  // namespace

VANDREL_EXPORT void PluginMain(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result) {
    FilterRecord* filterRecord = nullptr;
    AboutRecord* aboutRecord = nullptr;
    SPBasicSuite* basicSuite = nullptr;
    if (selector == host::filterSelectorAbout) {
        aboutRecord = static_cast<AboutRecord*>(paramBlock);
        basicSuite = aboutRecord ? aboutRecord->sSPBasic : nullptr;
    } else {
        filterRecord = static_cast<FilterRecord*>(paramBlock);
        basicSuite = filterRecord ? filterRecord->sSPBasic : nullptr;
    }

    gBasicSuite = basicSuite;
    if (!basicSuite || !data || !result) {
        if (result) *result = host::filterBadParameters;
        return;
    }

    try {
        gFilter = reinterpret_cast<CPSFilter*>(*data);
        if (gFilter != gLiveFilter) gFilter = nullptr;
        if (gLiveFilter && (!gFilter || !ServesCall(*gLiveFilter, selector, filterRecord, aboutRecord)))
            DestroyLiveFilter(data);

        if (!gFilter) {
            CPSFilter* created = new CVandrelFilter;
            created->filterRecord = filterRecord;
            created->aboutRecord = aboutRecord;
            gLiveFilter = created;
            gFilter = created;
            *data = reinterpret_cast<intptr_t>(created);
        }

        gLastSelector = selector;
        const OSErr code = Route(*gFilter, selector);
        *result = code;
        const bool keep = selector != host::filterSelectorAbout && selector != host::filterSelectorFinish &&
                          code == host::noErr;
        if (!keep) DestroyLiveFilter(data);
    } catch (...) {
        *result = host::filterBadParameters;
        if (gFilter) gLiveFilterAbandoned = true;
    }
}
