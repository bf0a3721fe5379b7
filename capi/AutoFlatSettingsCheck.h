// The caller's Auto Flats settings held to the values the interface
// documents, before any pixel is read: the library takes a negative gap or
// a black palette colour as something else, and says nothing.
#pragma once

#include <string>

#include "capi/VandrelApi.h"

// Why `settings` cannot be used on line art of that colour model, in one
// line for people; empty when they can.
std::string RefusedSettings(const VandrelAutoFlatSettings& settings, bool cmyk);
