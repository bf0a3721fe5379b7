#include "bench/Measures.h"

#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace bench {

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::vector<std::string> Items(const std::string& list) {
    std::vector<std::string> items;
    std::stringstream in(list);
    for (std::string item; std::getline(in, item, ',');) items.push_back(item);
    return items;
}

std::vector<int> Numbers(const std::string& list) {
    std::vector<int> numbers;
    for (const std::string& item : Items(list)) numbers.push_back(std::stoi(item));
    return numbers;
}

}  // namespace bench
