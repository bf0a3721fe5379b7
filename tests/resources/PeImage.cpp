#include "tests/resources/PeImage.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

[[noreturn]] void Malformed(const std::string& what) {
    throw std::runtime_error("malformed PE file: " + what);
}

// A string name of a resource is UTF-16; the resource compiler only stores
// ASCII type names, so anything wider is kept as '?'.
std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? char(c) : '?';
    return out;
}

}  // namespace

CPeImage CPeImage::Load(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path.string());
    return CPeImage(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
}

CPeImage::CPeImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    if (U16(0) != 0x5A4D) Malformed("no MZ header");
    const std::size_t pe = U32(0x3C);
    if (U32(pe) != 0x00004550) Malformed("no PE signature");
    const std::size_t coff = pe + 4;
    machine_ = U16(coff);
    const uint16_t sectionCount = U16(coff + 2);
    const uint16_t optionalSize = U16(coff + 16);
    characteristics_ = U16(coff + 18);

    const std::size_t optional = coff + 20;
    const uint16_t magic = U16(optional);
    if (magic != 0x10B && magic != 0x20B) Malformed("unknown optional header magic");
    pe32Plus_ = magic == 0x20B;
    const std::size_t countAt = optional + (pe32Plus_ ? 108 : 92);
    const uint32_t directoryCount = U32(countAt);
    auto directory = [&](uint32_t index) {
        Directory d;
        if (index < directoryCount) {
            d.rva = U32(countAt + 4 + index * 8);
            d.size = U32(countAt + 8 + index * 8);
        }
        return d;
    };
    exports_ = directory(0);
    imports_ = directory(1);
    resources_ = directory(2);

    const std::size_t table = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const std::size_t at = table + std::size_t(i) * 40;
        sections_.push_back({U32(at + 12), U32(at + 8), U32(at + 20), U32(at + 16)});
    }
}

uint16_t CPeImage::U16(std::size_t offset) const {
    if (offset > bytes_.size() || bytes_.size() - offset < 2) Malformed("read past the end");
    return uint16_t(bytes_[offset] | bytes_[offset + 1] << 8);
}

uint32_t CPeImage::U32(std::size_t offset) const { return U16(offset) | uint32_t(U16(offset + 2)) << 16; }

std::size_t CPeImage::Offset(uint32_t rva, std::size_t length) const {
    for (const Section& s : sections_) {
        const uint32_t extent = std::max(s.virtualSize, s.rawSize);
        if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
            const std::size_t offset = std::size_t(s.rawOffset) + (rva - s.virtualAddress);
            if (rva - s.virtualAddress + length > s.rawSize || offset + length > bytes_.size())
                Malformed("data outside its section's bytes");
            return offset;
        }
    }
    Malformed("address in no section");
}

std::string CPeImage::CString(uint32_t rva) const {
    std::string text;
    for (std::size_t at = Offset(rva);; ++at) {
        if (at >= bytes_.size()) Malformed("unterminated name");
        if (bytes_[at] == 0) return text;
        text += char(bytes_[at]);
    }
}

std::vector<std::string> CPeImage::ExportedNames() const {
    std::vector<std::string> names;
    if (exports_.rva == 0) return names;
    const std::size_t dir = Offset(exports_.rva, 40);
    const uint32_t count = U32(dir + 24);
    const uint32_t namesRva = U32(dir + 32);
    for (uint32_t i = 0; i < count; ++i) names.push_back(CString(U32(Offset(namesRva + i * 4, 4))));
    return names;
}

std::vector<std::string> CPeImage::ImportedDlls() const {
    std::vector<std::string> dlls;
    if (imports_.rva == 0) return dlls;
    for (uint32_t rva = imports_.rva;; rva += 20) {
        const std::size_t entry = Offset(rva, 20);
        const uint32_t name = U32(entry + 12);
        if (name == 0 && U32(entry) == 0 && U32(entry + 16) == 0) break;
        dlls.push_back(CString(name));
    }
    return dlls;
}

std::string CPeImage::ResourceName(std::size_t offset) const {
    const uint16_t length = U16(offset);
    std::u16string text;
    for (uint16_t i = 0; i < length; ++i) text += char16_t(U16(offset + 2 + std::size_t(i) * 2));
    return Narrow(text);
}

// The resource tree has three levels: type, name, language. Offsets in it
// count from the start of the tree; the leaves hold the data's address.
void CPeImage::WalkResources(std::size_t directory, int depth, ResourceKey& key,
                             std::vector<Resource>& out) const {
    const std::size_t base = Offset(resources_.rva, 16);
    const std::size_t at = base + directory;
    const std::size_t count = std::size_t(U16(at + 12)) + U16(at + 14);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = at + 16 + i * 8;
        const uint32_t name = U32(entry);
        const uint32_t target = U32(entry + 4);
        const bool named = (name & 0x80000000u) != 0;
        const std::string text = named ? ResourceName(base + (name & 0x7FFFFFFFu)) : std::string();
        const uint16_t id = uint16_t(name);
        if (depth == 0) {
            key.typeID = named ? std::nullopt : std::optional<uint16_t>(id);
            key.typeName = text;
        } else if (depth == 1) {
            key.nameID = named ? std::nullopt : std::optional<uint16_t>(id);
            key.nameText = text;
        } else {
            key.language = id;
        }
        const bool subdirectory = (target & 0x80000000u) != 0;
        if (subdirectory != (depth < 2)) Malformed("resource tree of unexpected depth");
        if (subdirectory) {
            WalkResources(target & 0x7FFFFFFFu, depth + 1, key, out);
        } else {
            const std::size_t leaf = base + target;
            const uint32_t dataRva = U32(leaf);
            const uint32_t size = U32(leaf + 4);
            const std::size_t data = Offset(dataRva, size);
            out.push_back({key, std::vector<uint8_t>(bytes_.begin() + std::ptrdiff_t(data),
                                                     bytes_.begin() + std::ptrdiff_t(data + size))});
        }
    }
}

std::vector<CPeImage::Resource> CPeImage::Resources() const {
    std::vector<Resource> out;
    if (resources_.rva == 0) return out;
    ResourceKey key;
    WalkResources(0, 0, key, out);
    return out;
}

std::optional<std::vector<uint8_t>> CPeImage::FindResource(const std::string& type, uint16_t id,
                                                           uint16_t language) const {
    for (Resource& r : Resources())
        if (!r.key.typeID && r.key.typeName == type && r.key.nameID == id && r.key.language == language)
            return std::move(r.data);
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> CPeImage::FindResource(uint16_t type, uint16_t id,
                                                           uint16_t language) const {
    for (Resource& r : Resources())
        if (r.key.typeID == type && r.key.nameID == id && r.key.language == language)
            return std::move(r.data);
    return std::nullopt;
}
