// Reads the host's little-endian resource formats field by field, the way
// a host walks them, so the tests check layout rather than compare blobs.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class CByteCursor {
public:
    explicit CByteCursor(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    uint8_t U8() {
        if (at_ >= bytes_.size()) throw std::out_of_range("read past the end of the resource");
        return bytes_[at_++];
    }
    uint16_t U16() {
        const uint8_t low = U8();
        return uint16_t(low | U8() << 8);
    }
    uint32_t U32() {
        const uint16_t low = U16();
        return low | uint32_t(U16()) << 16;
    }

    // A code is a little-endian number whose top byte is the first character.
    std::string Code() {
        const uint32_t value = U32();
        return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    }

    std::string Pascal() {
        const uint8_t length = U8();
        std::string text;
        for (uint8_t i = 0; i < length; ++i) text += char(U8());
        return text;
    }

    std::vector<uint8_t> Bytes(std::size_t count) {
        std::vector<uint8_t> out;
        for (std::size_t i = 0; i < count; ++i) out.push_back(U8());
        return out;
    }

    std::size_t Position() const { return at_; }
    bool AtEnd() const { return at_ == bytes_.size(); }

private:
    const std::vector<uint8_t>& bytes_;
    std::size_t at_ = 0;
};

inline std::vector<uint8_t> BytesOf(const std::string& text) { return {text.begin(), text.end()}; }
