#include "layered/ZipFile.h"

#include <limits>
#include <stdexcept>

#include "layered/Crc32.h"

namespace layered {

namespace {

constexpr uint64_t kLimit = std::numeric_limits<uint32_t>::max();

// Numbers in the archive are little-endian.
void U16(std::string& out, unsigned value) {
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void U32(std::string& out, uint32_t value) {
    U16(out, value & 0xFFFF);
    U16(out, value >> 16);
}

// Version 1.0 (stored members), no flags, stored, 1 January 1980, then
// the checksum and both sizes: the part both headers share.
void Common(std::string& out, uint32_t crc, uint32_t size, size_t nameLength) {
    U16(out, 10);
    U16(out, 0);
    U16(out, 0);
    U16(out, 0);       // time
    U16(out, 0x0021);  // date
    U32(out, crc);
    U32(out, size);
    U32(out, size);
    U16(out, unsigned(nameLength));
    U16(out, 0);  // no extra field
}

}  // namespace

void CZipWriter::Put(const std::string& bytes) {
    write_(bytes.data(), bytes.size());
    offset_ += bytes.size();
}

void CZipWriter::AddStored(const std::string& name, const std::function<void(const FWrite&)>& produce) {
    uint32_t crc = 0;
    uint64_t size = 0;
    produce([&](const void* bytes, size_t count) {
        crc = Crc32(crc, bytes, count);
        size += count;
    });
    if (size > kLimit || offset_ > kLimit)
        throw std::invalid_argument("the layers take more than 4 GB, more than a plain zip holds");
    SMember member{name, crc, uint32_t(size), uint32_t(offset_)};
    std::string header;
    U32(header, 0x04034B50);
    Common(header, member.crc, member.size, name.size());
    header += name;
    Put(header);
    uint64_t written = 0;
    produce([&](const void* bytes, size_t count) {
        write_(bytes, count);
        written += count;
    });
    if (written != size) throw std::logic_error("a member's bytes changed between the passes");
    offset_ += written;
    members_.push_back(member);
}

void CZipWriter::Finish() {
    const uint64_t start = offset_;
    for (const SMember& member : members_) {
        std::string entry;
        U32(entry, 0x02014B50);
        U16(entry, 20);  // made by: version 2.0
        Common(entry, member.crc, member.size, member.name.size());
        U16(entry, 0);  // no comment
        U16(entry, 0);  // disk
        U16(entry, 0);  // internal attributes
        U32(entry, 0);  // external attributes
        U32(entry, member.offset);
        entry += member.name;
        Put(entry);
    }
    if (offset_ > kLimit)
        throw std::invalid_argument("the layers take more than 4 GB, more than a plain zip holds");
    std::string end;
    U32(end, 0x06054B50);
    U16(end, 0);
    U16(end, 0);
    U16(end, unsigned(members_.size()));
    U16(end, unsigned(members_.size()));
    U32(end, uint32_t(offset_ - start));
    U32(end, uint32_t(start));
    U16(end, 0);
    Put(end);
}

}  // namespace layered
