// The four-character codes by which hosts know the plug-in and its
// parameters: its own code (event class and ID of its terminology, signature
// of its saved parameters) and the two scripting keys the terminology
// declares and the descriptor exchange uses.
#pragma once

#include <cstdint>

#include "hostapi/HostInterface.h"
#include "resources/PluginInfo.h"

constexpr uint32_t kPluginCode = host::FourCC(VANDREL_PLUGIN_CODE_TEXT);
constexpr DescriptorKeyID kKeyMaxDepth = host::FourCC("MxLv");    // integer
constexpr DescriptorKeyID kKeyPaintWhite = host::FourCC("SkCo");  // boolean
