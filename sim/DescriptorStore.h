// The host's action descriptors: what a host plays into a plug-in and
// records from it. Descriptors live in host handles as a flat list of keys,
// so a plug-in that disposes, keeps or loses one is seen doing so. The procs
// the plug-in calls answer as a host does; the others are in the tables but
// refuse every call, as those of a host that does not implement them. Keys
// of any type can still be handed in, to see what the plug-in makes of them.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostapi/HostInterface.h"
#include "sim/SimulatedHandles.h"

namespace sim {

// Descriptor types the plug-in has no name for.
constexpr DescriptorTypeID kTypeUnitFloat = host::FourCC("UntF");
constexpr DescriptorTypeID kTypeEnumerated = host::FourCC("enum");
constexpr DescriptorTypeID kTypeClass = host::FourCC("type");
constexpr DescriptorTypeID kTypeAlias = host::FourCC("alis");
constexpr DescriptorTypeID kTypeObject = host::FourCC("Objc");
constexpr DescriptorTypeID kTypeObjectReference = host::FourCC("obj ");
constexpr DescriptorTypeID kTypeGlobalClass = host::FourCC("GlbC");
constexpr DescriptorTypeID kTypeGlobalObject = host::FourCC("GlbO");

// One key of a descriptor. Which members count depends on the type: a
// count is kept as an integer, an object's class in `code`, and text,
// aliases, strings, references and whole object descriptors in `bytes`.
struct SDescriptorItem {
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;
    int32_t flags = 0;
    int32_t integer = 0;
    double number = 0;
    DescriptorUnitID unit = 0;
    bool boolean = false;
    uint32_t code = 0;
    DescriptorTypeID enumType = 0;
    std::string bytes;

    static SDescriptorItem Integer(DescriptorKeyID key, int32_t value);
    static SDescriptorItem Bool(DescriptorKeyID key, bool value);
    static SDescriptorItem Float(DescriptorKeyID key, double value);
    static SDescriptorItem UnitFloat(DescriptorKeyID key, DescriptorUnitID unit, double value);
    static SDescriptorItem Text(DescriptorKeyID key, const std::string& text);
    static SDescriptorItem Enumerated(DescriptorKeyID key, DescriptorTypeID type, DescriptorEnumID value);

    bool operator==(const SDescriptorItem&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SDescriptorItem& item);
std::string FourCCText(uint32_t code);

class CDescriptorStore {
public:
    explicit CDescriptorStore(CSimulatedHandles& handles);
    ~CDescriptorStore();
    CDescriptorStore(const CDescriptorStore&) = delete;
    CDescriptorStore& operator=(const CDescriptorStore&) = delete;

    // What the filter record points at, and the two tables it points at.
    // Tests may spoil versions, counts and procs, or null the table
    // pointers, to play an older or broken host. `recordInfo` starts as
    // plugInDialogNone, a value a recording plug-in overwrites.
    PIDescriptorParameters parameters{};
    ReadDescriptorProcs readProcs{};
    WriteDescriptorProcs writeProcs{};

    // Descriptors made as Windows global memory would be: two malloc blocks,
    // a master holding the data's address. A plug-in facing a host without
    // usable handle procs frees them itself, so tests that take the handle
    // procs away set this.
    bool platformHandles = false;
    // Open procs that answer with no token, as a host with nothing to read
    // or unable to write does.
    bool refuseReaders = false;
    bool refuseWriters = false;

    // The descriptor the host hands in, in place of any it still holds.
    void Give(const std::vector<SDescriptorItem>& items);
    // No descriptor at all.
    void Clear();
    // The keys of the descriptor the host now holds; nothing when it holds
    // none or a handle that is not a descriptor.
    std::optional<std::vector<SDescriptorItem>> Held() const;

    // What the plug-in did: the keys of every writer it closed, in the
    // order it put them, and every proc call in order ("getKey MxLv",
    // "getInteger", "putBoolean SkCo", "closeWrite", ...).
    std::vector<std::vector<SDescriptorItem>> written;
    std::vector<std::string> log;
    size_t OpenReaders() const { return readers_.size(); }
    size_t OpenWriters() const { return writers_.size(); }

    // The simulator makes its store the one the C procs reach around every
    // plug-in call, and settles handle ownership after it.
    void MakeCurrent();
    void AfterCall();

    // Used by the procs.
    struct SReader;
    struct SWriter;
    SReader* Reader(PIReadDescriptor token);
    SWriter* Writer(PIWriteDescriptor token);
    PIReadDescriptor OpenReader(PIDescriptorHandle descriptor, DescriptorKeyID* keys);
    OSErr CloseReader(PIReadDescriptor token);
    PIWriteDescriptor OpenWriter();
    OSErr CloseWriter(PIWriteDescriptor token, PIDescriptorHandle* created);
    Handle MakeHandle(const std::string& bytes, bool platform);
    std::optional<std::string> HandleBytes(Handle handle) const;

private:
    void DisposeHeld();

    CSimulatedHandles& handles_;
    std::map<Handle, size_t> platform_;  // two-block handles and their sizes
    std::vector<std::unique_ptr<SReader>> readers_;
    std::vector<std::unique_ptr<SWriter>> writers_;
};

// A descriptor's keys as the bytes of its handle, and back; Decode refuses
// bytes that are not a descriptor.
std::string EncodeDescriptor(const std::vector<SDescriptorItem>& items);
std::optional<std::vector<SDescriptorItem>> DecodeDescriptor(const std::string& bytes);

}  // namespace sim
