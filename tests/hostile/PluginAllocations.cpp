#include "tests/hostile/PluginAllocations.h"

#include <dlfcn.h>
#include <link.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>

namespace hostile {
namespace {

// Every block carries a small header saying who asked for it, so that a
// block is counted out exactly when it was counted in.
constexpr uint32_t kHostBlock = 0x686f7374;
constexpr uint32_t kPluginBlock = 0x706c7567;
struct alignas(16) SHeader {
    uint32_t owner;
};

std::atomic<uintptr_t> gPluginFirst{0};
std::atomic<uintptr_t> gPluginEnd{0};
std::atomic<int64_t> gLive{0};
std::atomic<int> gFailures{0};

bool FromPlugin(const void* caller) {
    const auto at = reinterpret_cast<uintptr_t>(caller);
    return at >= gPluginFirst.load(std::memory_order_relaxed) && at < gPluginEnd.load(std::memory_order_relaxed);
}

bool TakeFailure() {
    int pending = gFailures.load();
    while (pending > 0)
        if (gFailures.compare_exchange_weak(pending, pending - 1)) return true;
    return false;
}

void* Allocate(std::size_t size, const void* caller) {
    const bool plugin = FromPlugin(caller);
    if (plugin && TakeFailure()) throw std::bad_alloc();
    auto* header = static_cast<SHeader*>(std::malloc(sizeof(SHeader) + (size ? size : 1)));
    if (!header) throw std::bad_alloc();
    header->owner = plugin ? kPluginBlock : kHostBlock;
    if (plugin) gLive.fetch_add(1, std::memory_order_relaxed);
    return header + 1;
}

void Free(void* block) noexcept {
    if (!block) return;
    SHeader* header = static_cast<SHeader*>(block) - 1;
    if (header->owner == kPluginBlock) gLive.fetch_sub(1, std::memory_order_relaxed);
    header->owner = 0;
    std::free(header);
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
}

int64_t LivePluginAllocations() { return gLive.load(); }
void FailNextPluginAllocations(int count) { gFailures = count; }
int PendingPluginAllocationFailures() { return gFailures.load(); }

}  // namespace hostile

void* operator new(std::size_t size) { return hostile::Allocate(size, __builtin_return_address(0)); }
void* operator new[](std::size_t size) { return hostile::Allocate(size, __builtin_return_address(0)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return hostile::Allocate(size, __builtin_return_address(0));
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return hostile::Allocate(size, __builtin_return_address(0));
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { hostile::Free(p); }
void operator delete[](void* p) noexcept { hostile::Free(p); }
void operator delete(void* p, std::size_t) noexcept { hostile::Free(p); }
void operator delete[](void* p, std::size_t) noexcept { hostile::Free(p); }
