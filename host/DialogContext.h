// What the dialogs need from the host call they run in: the record the
// parameters dialog edits, reached through the current filter object, and
// the host window that owns them.
#pragma once

#include <cstdint>

#include "params/VandrelParams.h"

// Null when no filter object of ours is current: there is nothing to edit.
CVandrelParams* DialogRecord();

// The host's window from its platform data; 0 when it gave none.
intptr_t OwnerWindow(const void* platformData);
