// The fuzzer's bytes read as the arguments of a call, field by field: what
// runs out reads as zeros, so every input is some call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class CFuzzBytes {
public:
    CFuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    template <typename T>
    T Take() {
        T value{};
        const size_t n = sizeof(T) < size_ ? sizeof(T) : size_;
        std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }

    // `count` bytes into `to`, the rest of them zeros.
    void Fill(uint8_t* to, size_t count) {
        const size_t n = count < size_ ? count : size_;
        if (n) std::memcpy(to, data_, n);
        if (count > n) std::memset(to + n, 0, count - n);
        data_ += n;
        size_ -= n;
    }

private:
    const uint8_t* data_;
    size_t size_;
};
