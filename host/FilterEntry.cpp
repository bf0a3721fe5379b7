#include "host/FilterEntry.h"

#include "host/PluginGlobals.h"

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

// The object in the slot serves whatever call comes with it: hosts that
// hand each step a record of its own do not all keep the documented order
// (Prepare skipped, or made twice), and what the earlier steps loaded must
// still reach Start. It always works with the records of the call in hand,
// never those of the call before, which the host may have freed.
void Rebind(CPSFilter& filter, FilterRecord* filterRecord, AboutRecord* aboutRecord) {
    filter.filterRecord = filterRecord;
    filter.aboutRecord = aboutRecord;
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

void EnterFilter(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result, FCreateFilter create) {
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
        if (gLiveFilter && (!gFilter || gLiveFilterAbandoned)) DestroyLiveFilter(data);

        if (!gFilter) {
            CPSFilter* created = create();
            created->filterRecord = filterRecord;
            created->aboutRecord = aboutRecord;
            gLiveFilter = created;
            gFilter = created;
            *data = reinterpret_cast<intptr_t>(created);
        }
        Rebind(*gFilter, filterRecord, aboutRecord);

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
