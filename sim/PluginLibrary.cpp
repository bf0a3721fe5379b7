#include "sim/PluginLibrary.h"

#include <cstdlib>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#endif

namespace sim {

#if defined(_WIN32)
CPluginLibrary::CPluginLibrary(const std::string& path) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module)
        throw std::runtime_error("cannot load " + path + " (error " + std::to_string(GetLastError()) + ")");
    module_ = module;
    entry_ = reinterpret_cast<PluginMainProc>(reinterpret_cast<void*>(GetProcAddress(module, "PluginMain")));
    if (!entry_) {
        FreeLibrary(module);
        throw std::runtime_error(path + " does not export PluginMain");
    }
}

CPluginLibrary::~CPluginLibrary() { FreeLibrary(static_cast<HMODULE>(module_)); }
#else
CPluginLibrary::CPluginLibrary(const std::string& path) {
    module_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module_) throw std::runtime_error(std::string("cannot load ") + path + ": " + dlerror());
    entry_ = reinterpret_cast<PluginMainProc>(dlsym(module_, "PluginMain"));
    if (!entry_) {
        dlclose(module_);
        throw std::runtime_error(path + " does not export PluginMain");
    }
}

CPluginLibrary::~CPluginLibrary() { dlclose(module_); }
#endif

void CPluginLibrary::Call(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result) const {
    entry_(selector, paramBlock, data, result);
}

namespace {

std::string ModulePath(const char* variable, const char* windowsName, const char* linuxName) {
    if (const char* path = std::getenv(variable); path && *path) return path;
#if defined(_WIN32)
    (void)linuxName;
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string self(buffer, length);
    return self.substr(0, self.find_last_of("\\/") + 1) + windowsName;
#else
    (void)windowsName;
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string self = length > 0 ? std::string(buffer, size_t(length)) : std::string();
    const std::string folder = self.substr(0, self.find_last_of('/') + 1);
    // A build keeps the plug-in beside its programs; an installed tool in
    // .../bin keeps it in the private library folder .../lib/vandrel.
    const std::string beside = folder + linuxName;
    const std::string installed = folder + "../lib/vandrel/" + linuxName;
    return access(beside.c_str(), F_OK) != 0 && access(installed.c_str(), F_OK) == 0 ? installed : beside;
#endif
}

}  // namespace

std::string DefaultPluginPath() { return ModulePath("VANDREL_PLUGIN", "Vandrel Pro.8bf", "vandrel_pro.so"); }

std::string DefaultAutoFlatsPluginPath() {
    return ModulePath("VANDREL_AUTOFLATS_PLUGIN", "Vandrel Auto Flats.8bf", "vandrel_autoflats.so");
}

}  // namespace sim
