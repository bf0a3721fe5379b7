// Host handles as Windows hosts make them: a handle points to a master
// pointer, which points to the data. Every live handle is tracked, so a test
// can see leaks and the procs can refuse handles they never made.
#pragma once

#include <cstddef>
#include <set>

#include "hostapi/HostInterface.h"

namespace sim {

class CSimulatedHandles {
public:
    CSimulatedHandles();
    ~CSimulatedHandles();
    CSimulatedHandles(const CSimulatedHandles&) = delete;
    CSimulatedHandles& operator=(const CSimulatedHandles&) = delete;

    // The table handed to the plug-in. Tests may spoil its version, count or
    // procs to play an older or broken host.
    HandleProcs procs{};

    Handle New(int32_t size);
    void Dispose(Handle handle);
    int32_t Size(Handle handle) const;
    bool SetSize(Handle handle, int32_t size);
    bool Owns(Handle handle) const { return live_.count(handle) != 0; }
    size_t LiveCount() const { return live_.size(); }

    // Makes this object the one the C procs reach; the simulator does it
    // around every plug-in call.
    void MakeCurrent();

private:
    std::set<Handle> live_;
};

}  // namespace sim
