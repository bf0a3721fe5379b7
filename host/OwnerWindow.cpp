// Kept apart from the dialogs' records, so that the About box, which either
// filter shows, brings neither filter's class with it.
#include "host/DialogContext.h"
#include "hostapi/HostInterface.h"

intptr_t OwnerWindow(const void* platformData) {
    return platformData ? static_cast<const PlatformData*>(platformData)->hwnd : 0;
}
