#include "host/DialogContext.h"

#include "host/HostInterface.h"
#include "host/PluginGlobals.h"
#include "host/VandrelFilter.h"

CVandrelParams* DialogRecord() {
    auto* filter = dynamic_cast<CVandrelFilter*>(gFilter);
    return filter ? &filter->params : nullptr;
}

intptr_t OwnerWindow(const void* platformData) {
    return platformData ? static_cast<const PlatformData*>(platformData)->hwnd : 0;
}
