// What the benchmark programs read about their own process, and how they
// take lists of numbers on the command line.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

// A kB figure of /proc/self/status ("VmRSS:", "VmHWM:"); -1 when missing.
long StatusKb(const char* field);

// Lets VmHWM start again from the current size (Linux 4.0 and later).
bool ResetPeak();

// User and system time of the whole process, every thread included.
double CpuSeconds();

// What `measure` returns, worked out in a child process: each run starts
// from a fresh heap, and its peak is its own. Empty when the child failed.
std::string InChild(const std::function<std::string()>& measure);

// "a,b,c" as its items, and as numbers.
std::vector<std::string> Items(const std::string& list);
std::vector<int> Numbers(const std::string& list);

}  // namespace bench
