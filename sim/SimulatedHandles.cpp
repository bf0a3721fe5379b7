#include "sim/SimulatedHandles.h"

#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

// The data block carries its size just before the bytes the plug-in sees.
struct SMaster {
    char* data;
};

CSimulatedHandles* gCurrent = nullptr;

size_t& StoredSize(char* data) { return *reinterpret_cast<size_t*>(data - sizeof(size_t) * 2); }

char* AllocateData(size_t size) {
    char* block = static_cast<char*>(std::calloc(1, size + sizeof(size_t) * 2));
    if (!block) return nullptr;
    char* data = block + sizeof(size_t) * 2;
    StoredSize(data) = size;
    return data;
}

void FreeData(char* data) {
    if (data) std::free(data - sizeof(size_t) * 2);
}

Handle NewProc(int32_t size) { return gCurrent ? gCurrent->New(size) : nullptr; }
void DisposeProc(Handle h) {
    if (gCurrent) gCurrent->Dispose(h);
}
int32_t GetSizeProc(Handle h) { return gCurrent ? gCurrent->Size(h) : 0; }
OSErr SetSizeProc(Handle h, int32_t size) {
    return gCurrent && gCurrent->SetSize(h, size) ? host::noErr : host::memFullErr;
}
Ptr LockProc(Handle h, Boolean) { return gCurrent && gCurrent->Owns(h) ? *h : nullptr; }
void UnlockProc(Handle) {}
void RecoverSpaceProc(int32_t) {}

}  // namespace

CSimulatedHandles::CSimulatedHandles() {
    procs.handleProcsVersion = host::kCurrentHandleProcsVersion;
    procs.numHandleProcs = host::kHandleProcsCount;
    procs.newProc = NewProc;
    procs.disposeProc = DisposeProc;
    procs.getSizeProc = GetSizeProc;
    procs.setSizeProc = SetSizeProc;
    procs.lockProc = LockProc;
    procs.unlockProc = UnlockProc;
    procs.recoverSpaceProc = RecoverSpaceProc;
    procs.disposeRegularHandleProc = DisposeProc;
}

CSimulatedHandles::~CSimulatedHandles() {
    for (Handle h : live_) {
        FreeData(*h);
        delete reinterpret_cast<SMaster*>(h);
    }
    if (gCurrent == this) gCurrent = nullptr;
}

void CSimulatedHandles::MakeCurrent() { gCurrent = this; }

Handle CSimulatedHandles::New(int32_t size) {
    if (size < 0) return nullptr;
    char* data = AllocateData(size_t(size));
    if (!data) return nullptr;
    auto* master = new SMaster{data};
    Handle h = reinterpret_cast<Handle>(master);
    live_.insert(h);
    return h;
}

void CSimulatedHandles::Dispose(Handle handle) {
    auto it = live_.find(handle);
    if (it == live_.end()) return;
    FreeData(*handle);
    delete reinterpret_cast<SMaster*>(handle);
    live_.erase(it);
}

int32_t CSimulatedHandles::Size(Handle handle) const {
    if (!Owns(handle)) return 0;
    return int32_t(StoredSize(*handle));
}

bool CSimulatedHandles::SetSize(Handle handle, int32_t size) {
    if (!Owns(handle) || size < 0) return false;
    char* old = *handle;
    char* data = AllocateData(size_t(size));
    if (!data) return false;
    std::memcpy(data, old, std::min(size_t(size), StoredSize(old)));
    FreeData(old);
    *handle = data;
    return true;
}

}  // namespace sim
