#include "resources/ResourceWriter.h"

#include <stdexcept>

void CResourceWriter::Int8(uint8_t value) { bytes_.push_back(value); }

void CResourceWriter::Int16(uint16_t value) {
    Int8(uint8_t(value));
    Int8(uint8_t(value >> 8));
}

void CResourceWriter::Int32(uint32_t value) {
    Int16(uint16_t(value));
    Int16(uint16_t(value >> 16));
}

void CResourceWriter::FourCC(uint32_t code) { Int32(code); }

void CResourceWriter::PascalString(std::string_view text) {
    if (text.size() > 255) throw std::length_error("Pascal string longer than 255 characters");
    Int8(uint8_t(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
}

void CResourceWriter::CString(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    Int8(0);
}

void CResourceWriter::PadString(std::size_t stringStart) {
    const std::size_t length = bytes_.size() - stringStart;
    Zeros(4 - length % 4);
}

void CResourceWriter::Align4() { Zeros((4 - bytes_.size() % 4) % 4); }

void CResourceWriter::Zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }

void CResourceWriter::Append(const std::vector<uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}
