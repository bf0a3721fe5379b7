// A zip archive written front to back, its members stored (their contents
// are compressed already): each member is produced twice, first to learn
// its checksum and size, which its header carries ahead of it, then to be
// written. Readers that walk the headers and readers that go by the
// central directory both find every member.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "layered/LayerStack.h"

namespace layered {

class CZipWriter {
public:
    explicit CZipWriter(const FWrite& write) : write_(write) {}

    // `produce` writes the member's bytes to the function it is given, the
    // same bytes each time it is called. Throws std::invalid_argument past
    // 4 GB, which needs the archive's 64-bit extension.
    void AddStored(const std::string& name, const std::function<void(const FWrite&)>& produce);

    // The central directory; the archive is complete after it.
    void Finish();

private:
    struct SMember {
        std::string name;
        uint32_t crc = 0;
        uint32_t size = 0;
        uint32_t offset = 0;
    };

    void Put(const std::string& bytes);

    const FWrite& write_;
    std::vector<SMember> members_;
    uint64_t offset_ = 0;
};

}  // namespace layered
