// The Linux counterpart of the Windows load notification: remember which
// loaded object we are, so resources and dialogs know their module.
#include <dlfcn.h>

#include "host/PluginGlobals.h"

namespace {
__attribute__((constructor)) void RecordModuleInstance() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&RecordModuleInstance), &info) != 0) gModuleInstance = info.dli_fbase;
}
}  // namespace
