#include "host/DialogContext.h"

#include "host/PluginGlobals.h"
#include "host/VandrelFilter.h"

CVandrelParams* DialogRecord() {
    auto* filter = dynamic_cast<CVandrelFilter*>(gFilter);
    return filter ? &filter->params : nullptr;
}
