// Base class of a filter plug-in: one virtual operation per host selector.
#pragma once

#include "hostapi/HostInterface.h"

class CPSFilter {
public:
    CPSFilter() = default;
    CPSFilter(const CPSFilter&) = delete;
    CPSFilter& operator=(const CPSFilter&) = delete;
    virtual ~CPSFilter() = default;

    // Selector 0, instead of any other selector: the host's About menu.
    // Only aboutRecord is set when the object was created for it.
    virtual OSErr About() { return host::noErr; }
    // Selector 1, only when the host is to ask the user; skipped when the
    // user repeats the last filter.
    virtual OSErr Parameters() { return host::noErr; }
    // Selector 2: before any pixels; the host reads its memory fields after it.
    virtual OSErr Prepare() { return host::noErr; }
    // Selector 3: ask for pixels through advanceState and process them.
    virtual OSErr Start() { return host::noErr; }
    // Selector 4: called as long as the rectangles are not empty.
    virtual OSErr Continue();
    // Selector 5: the end of a run, also after a cancel on some hosts.
    virtual OSErr Finish() { return host::noErr; }

    FilterRecord* filterRecord = nullptr;
    AboutRecord* aboutRecord = nullptr;
    const char* productName = nullptr;
    const char* versionText = nullptr;
    const char* copyrightText = nullptr;
    const char* homePage = nullptr;
};

// Empty rectangles tell the host that no more data is wanted.
void ClearRectangles(FilterRecord& record);
