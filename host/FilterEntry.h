// What every entry point of ours does with a host call: find the filter
// object through the host's data slot (making one when there is none), route
// the selector to it, decide the object's lifetime, and turn every failure
// into a host result code. Nothing below it reports errors any other way.
#pragma once

#include <cstdint>

#include "host/PSFilter.h"
#include "hostapi/HostInterface.h"

// Makes the module's one filter object; called when the slot holds none.
using FCreateFilter = CPSFilter* (*)();

void EnterFilter(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result, FCreateFilter create);
