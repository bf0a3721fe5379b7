// A reader for Windows PE files that runs anywhere: enough of the format to
// check a built .8bf from Linux (machine, exports, imports, resources)
// without loading it. Every offset in the file is checked before use, so a
// damaged file gives an exception, never a read outside the buffer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class CPeImage {
public:
    enum : uint16_t { kMachineI386 = 0x014C, kMachineAmd64 = 0x8664 };

    // A resource's type and name are numbers or strings (upper case as the
    // resource compiler stores them); the language is always a number.
    struct ResourceKey {
        std::optional<uint16_t> typeID;
        std::string typeName;
        std::optional<uint16_t> nameID;
        std::string nameText;
        uint16_t language = 0;
    };
    struct Resource {
        ResourceKey key;
        std::vector<uint8_t> data;
    };

    // Throws std::runtime_error when the bytes are not a well-formed PE file.
    explicit CPeImage(std::vector<uint8_t> bytes);
    static CPeImage Load(const std::filesystem::path& path);

    uint16_t Machine() const { return machine_; }
    bool IsPE32Plus() const { return pe32Plus_; }
    bool IsDll() const { return (characteristics_ & 0x2000) != 0; }

    std::vector<std::string> ExportedNames() const;
    std::vector<std::string> ImportedDlls() const;
    std::vector<Resource> Resources() const;

    // The resource with a string type and a numeric name in one language.
    std::optional<std::vector<uint8_t>> FindResource(const std::string& type, uint16_t id,
                                                     uint16_t language) const;
    std::optional<std::vector<uint8_t>> FindResource(uint16_t type, uint16_t id, uint16_t language) const;

private:
    struct Section {
        uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
    };
    struct Directory {
        uint32_t rva = 0, size = 0;
    };

    uint16_t U16(std::size_t offset) const;
    uint32_t U32(std::size_t offset) const;
    std::size_t Offset(uint32_t rva, std::size_t length = 1) const;
    std::string CString(uint32_t rva) const;
    std::string ResourceName(std::size_t offset) const;
    void WalkResources(std::size_t directory, int depth, ResourceKey& key, std::vector<Resource>& out) const;

    std::vector<uint8_t> bytes_;
    uint16_t machine_ = 0;
    uint16_t characteristics_ = 0;
    bool pe32Plus_ = false;
    std::vector<Section> sections_;
    Directory exports_, imports_, resources_;
};
