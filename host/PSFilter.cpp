#include "host/PSFilter.h"

void ClearRectangles(FilterRecord& record) {
    record.inRect = Rect{0, 0, 0, 0};
    record.outRect = Rect{0, 0, 0, 0};
}

OSErr CPSFilter::Continue() {
    if (filterRecord) ClearRectangles(*filterRecord);
    return host::noErr;
}
