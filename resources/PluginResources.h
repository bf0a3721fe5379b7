// The two resources through which the host learns what the plug-in is,
// before it ever calls PluginMain: the property list (PiPL) and the
// scripting terminology. This is their only description; the resource
// build and the tests both take their bytes from here.
#pragma once

#include <cstdint>
#include <vector>

#include "resources/PluginInfo.h"

// The code property a host looks for depends on its own architecture, so
// each build of the library names its entry point under its own key.
enum class EntryArch { X86, X64 };

constexpr const char* kPiPLResourceType = "PIPL";
constexpr const char* kTerminologyResourceType = "AETE";
constexpr uint16_t kPluginResourceID = VANDREL_RESOURCE_ID;
constexpr uint16_t kResourceLanguage = 1033;  // U.S. English

uint32_t EntryPointKey(EntryArch arch);

// Vandrel Pro's.
std::vector<uint8_t> BuildPiPL(EntryArch arch);
std::vector<uint8_t> BuildTerminology();

// Vandrel Auto Flats', for its own module: the same resource IDs, kinds of
// image and layers, its own name, code and keys.
std::vector<uint8_t> BuildAutoFlatsPiPL(EntryArch arch);
std::vector<uint8_t> BuildAutoFlatsTerminology();
