// What the loaded plug-in allocates with operator new, told apart from the
// host's own allocations by where the call came from. The plug-in resolves
// operator new to this program's, so every one of its allocations passes
// here.
#pragma once

#include <cstdint>
#include <string>

namespace hostile {

// Starts telling the plug-in's allocations apart; `pluginPath` must be
// loaded already (a simulator has it open).
void WatchPlugin(const std::string& pluginPath);

// Blocks the plug-in has allocated and not yet freed.
int64_t LivePluginAllocations();

// The plug-in's next `count` allocations throw std::bad_alloc; the host's
// go on succeeding.
void FailNextPluginAllocations(int count);
int PendingPluginAllocationFailures();

}  // namespace hostile
