#include "tests/host/PluginAllocations.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "tests/support/AllocationHook.h"

namespace hostile {
namespace {

std::atomic<uintptr_t> gPluginFirst{0};
std::atomic<uintptr_t> gPluginEnd{0};
testing_support::CPendingFailures gFailures;

bool FromPlugin(const void* caller) {
    const auto at = reinterpret_cast<uintptr_t>(caller);
    return at >= gPluginFirst.load(std::memory_order_relaxed) &&
           at < gPluginEnd.load(std::memory_order_relaxed);
}

// The plug-in's blocks are counted, and only they fail when asked to.
testing_support::SAllocationVerdict WatchAllocation(std::size_t, const void* caller, bool) {
    const bool plugin = FromPlugin(caller);
    return {plugin && gFailures.Take(), plugin};
}

struct SSearch {
    uintptr_t base;
    uintptr_t first = UINTPTR_MAX;
    uintptr_t end = 0;
};

int VisitModule(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<SSearch*>(data);
    if (info->dlpi_addr != search->base) return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD) continue;
        const uintptr_t first = info->dlpi_addr + segment.p_vaddr;
        search->first = std::min(search->first, first);
        search->end = std::max(search->end, uintptr_t(first + segment.p_memsz));
    }
    return 1;
}

}  // namespace

void WatchPlugin(const std::string& pluginPath) {
    void* module = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!module) throw std::runtime_error("the plug-in is not loaded: " + pluginPath);
    void* entry = dlsym(module, "PluginMain");
    Dl_info info{};
    const bool found = entry && dladdr(entry, &info) != 0;
    dlclose(module);
    if (!found) throw std::runtime_error("no PluginMain in " + pluginPath);
    SSearch search{reinterpret_cast<uintptr_t>(info.dli_fbase)};
    dl_iterate_phdr(VisitModule, &search);
    if (search.end == 0) throw std::runtime_error("no segments for " + pluginPath);
    gPluginFirst = search.first;
    gPluginEnd = search.end;
    testing_support::SetAllocationHook(WatchAllocation);
}

int64_t LivePluginAllocations() { return testing_support::CountedBlocksLive(); }
void FailNextPluginAllocations(int count) { gFailures.Arm(count); }
int PendingPluginAllocationFailures() { return gFailures.Pending(); }

}  // namespace hostile
