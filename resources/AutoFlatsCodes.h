// The four-character codes by which hosts know Vandrel Auto Flats and its
// parameters, shared by its terminology and its descriptor exchange.
#pragma once

#include <cstdint>

#include "hostapi/HostInterface.h"
#include "resources/AutoFlatsInfo.h"

constexpr uint32_t kAutoFlatsCode = host::FourCC(AUTOFLATS_PLUGIN_CODE_TEXT);
constexpr DescriptorKeyID kKeyMaxGap = host::FourCC("MxGp");     // integer, pixels; 0 picks from the page
constexpr DescriptorKeyID kKeyMinRegion = host::FourCC("MnRg");  // integer, pixels
constexpr DescriptorKeyID kKeySpotBlacksRegions = host::FourCC("SpBR");  // boolean
