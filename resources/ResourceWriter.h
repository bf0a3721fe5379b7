// Bytes laid out the way the host reads its resources on Windows: integers
// little-endian, no alignment between fields unless a format asks for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class CResourceWriter {
public:
    void Int8(uint8_t value);
    void Int16(uint16_t value);
    void Int32(uint32_t value);

    // A four-character code is a number whose top byte is the first
    // character; stored little-endian, its text appears reversed.
    void FourCC(uint32_t code);

    // Length byte and text; throws std::length_error past 255 characters.
    void PascalString(std::string_view text);
    // Text and its terminating zero byte.
    void CString(std::string_view text);

    // Zero bytes up to the smallest multiple of 4 beyond the string just
    // written (length byte or terminator included), so at least one follows.
    void PadString(std::size_t stringStart);
    // Zero bytes up to the next multiple of 4, none when already there.
    void Align4();

    void Zeros(std::size_t count);
    void Append(const std::vector<uint8_t>& bytes);

    std::size_t Size() const { return bytes_.size(); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};
