// A plug-in library loaded the way a host loads it: by path, with the
// platform loader, calling the entry point by its exported name.
#pragma once

#include <string>

#include "hostapi/HostInterface.h"

namespace sim {

class CPluginLibrary {
public:
    // Throws std::runtime_error with the loader's message when the library
    // cannot be loaded or does not export PluginMain.
    explicit CPluginLibrary(const std::string& path);
    ~CPluginLibrary();
    CPluginLibrary(const CPluginLibrary&) = delete;
    CPluginLibrary& operator=(const CPluginLibrary&) = delete;

    void Call(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result) const;
    void* NativeHandle() const { return module_; }

private:
    void* module_ = nullptr;
    PluginMainProc entry_ = nullptr;
};

// The plug-in the tests and tools use when none is named: $VANDREL_PLUGIN, else
// the library built beside the running program, else the one installed in
// ../lib/vandrel/ from the program's folder.
std::string DefaultPluginPath();
// Vandrel Auto Flats' module, found the same way through
// $VANDREL_AUTOFLATS_PLUGIN.
std::string DefaultAutoFlatsPluginPath();

}  // namespace sim
