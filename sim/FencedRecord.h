// The filter record as a host allocates it: exactly as many bytes as that
// host's interface version declares, with nothing of the plug-in's after
// them. Guard bytes follow the record; a write into them is seen once the
// call returns, and under AddressSanitizer any access stops the program at
// once. A retired record (one the host has discarded) is off limits whole.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "hostapi/HostInterface.h"
#include "sim/AsanPoison.h"

namespace sim {

class CFencedRecord {
public:
    static constexpr size_t kGuardBytes = 256;
    static constexpr uint8_t kGuardValue = 0x5A;
    // What a discarded record reads as: pointers made of it lead nowhere.
    static constexpr uint8_t kRetiredValue = 0xDD;

    explicit CFencedRecord(size_t bytes)
        : bytes_(std::min(bytes, sizeof(FilterRecord))), storage_(new uint8_t[bytes_ + kGuardBytes]) {
        std::memset(storage_.get(), 0, bytes_);
        std::memset(storage_.get() + bytes_, kGuardValue, kGuardBytes);
        PoisonBytes(storage_.get() + bytes_, kGuardBytes);
    }
    ~CFencedRecord() { UnpoisonBytes(storage_.get(), bytes_ + kGuardBytes); }
    CFencedRecord(const CFencedRecord&) = delete;
    CFencedRecord& operator=(const CFencedRecord&) = delete;

    // Only the first Bytes() bytes of it exist.
    FilterRecord* Get() const { return reinterpret_cast<FilterRecord*>(storage_.get()); }
    size_t Bytes() const { return bytes_; }

    bool GuardsIntact() const {
        UnpoisonBytes(storage_.get() + bytes_, kGuardBytes);
        const bool intact = std::all_of(storage_.get() + bytes_, storage_.get() + bytes_ + kGuardBytes,
                                        [](uint8_t b) { return b == kGuardValue; });
        PoisonBytes(storage_.get() + bytes_, kGuardBytes);
        return intact;
    }

    void CopyFrom(const CFencedRecord& other) {
        std::memcpy(storage_.get(), other.storage_.get(), std::min(bytes_, other.bytes_));
    }

    void Retire() {
        std::memset(storage_.get(), kRetiredValue, bytes_);
        PoisonBytes(storage_.get(), bytes_);
    }

private:
    size_t bytes_;
    std::unique_ptr<uint8_t[]> storage_;
};

}  // namespace sim
