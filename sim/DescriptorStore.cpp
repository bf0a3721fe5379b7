#include "sim/DescriptorStore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "sim/PlatformBlocks.h"

namespace sim {

struct CDescriptorStore::SReader {
    std::vector<SDescriptorItem> items;
    size_t next = 0;
    const SDescriptorItem* current = nullptr;
    DescriptorKeyID* keys = nullptr;
    size_t keyCount = 0;  // counted at open: cleared entries end the list early
    OSErr error = host::noErr;
};

struct CDescriptorStore::SWriter {
    std::vector<SDescriptorItem> items;
};

namespace {

CDescriptorStore* gCurrent = nullptr;

// --- Encoding --------------------------------------------------------------

constexpr uint32_t kMagic = host::FourCC("VDsc");

template <typename T>
void Append(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
bool Take(const std::string& in, size_t& at, T& value) {
    if (in.size() - at < sizeof value) return false;
    std::memcpy(&value, in.data() + at, sizeof value);
    at += sizeof value;
    return true;
}

// --- Errors a reader collects -------------------------------------------------

// A reader reports the most serious error it met: any failure outranks a
// coercion.
void Note(CDescriptorStore::SReader& reader, OSErr error) {
    if (error < 0 && reader.error >= 0) reader.error = error;
    if (error > 0 && reader.error == host::noErr) reader.error = error;
}

// Runs `take` on the reader's current key when it has the wanted type.
template <typename Take>
OSErr Get(PIReadDescriptor token, const char* name, DescriptorTypeID wanted, Take take) {
    if (!gCurrent) return host::paramErr;
    gCurrent->log.push_back(name);
    CDescriptorStore::SReader* reader = gCurrent->Reader(token);
    if (!reader) return host::paramErr;
    OSErr result = host::paramErr;
    if (reader->current && reader->current->type == wanted) result = take(*reader->current);
    Note(*reader, result);
    return result;
}

// --- Read procs ------------------------------------------------------------------

PIReadDescriptor OpenRead(PIDescriptorHandle descriptor, DescriptorKeyID* keys) {
    return gCurrent ? gCurrent->OpenReader(descriptor, keys) : nullptr;
}

OSErr CloseRead(PIReadDescriptor token) {
    return gCurrent ? gCurrent->CloseReader(token) : OSErr(host::paramErr);
}

Boolean GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
    if (!gCurrent) return 0;
    CDescriptorStore::SReader* reader = gCurrent->Reader(token);
    if (!reader || reader->next >= reader->items.size()) {
        gCurrent->log.push_back("getKey end");
        if (reader) reader->current = nullptr;
        return 0;
    }
    const SDescriptorItem& item = reader->items[reader->next++];
    reader->current = &item;
    gCurrent->log.push_back("getKey " + FourCCText(item.key));
    if (key) *key = item.key;
    if (type) *type = item.type;
    if (flags) *flags = item.flags;
    for (size_t i = 0; reader->keys && i < reader->keyCount; ++i)
        if (reader->keys[i] == item.key) reader->keys[i] = 0;
    return 1;
}

OSErr GetInteger(PIReadDescriptor token, int32_t* value) {
    return Get(token, "getInteger", host::typeInteger, [&](const SDescriptorItem& item) {
        *value = item.integer;
        return host::noErr;
    });
}

OSErr GetBoolean(PIReadDescriptor token, Boolean* value) {
    return Get(token, "getBoolean", host::typeBoolean, [&](const SDescriptorItem& item) {
        *value = item.boolean ? 1 : 0;
        return host::noErr;
    });
}

// --- Write procs -----------------------------------------------------------------

PIWriteDescriptor OpenWrite() { return gCurrent ? gCurrent->OpenWriter() : nullptr; }

OSErr CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* created) {
    return gCurrent ? gCurrent->CloseWriter(token, created) : OSErr(host::paramErr);
}

// Appends the key `fill` describes to the writer's descriptor.
template <typename Fill>
OSErr Put(PIWriteDescriptor token, const char* name, DescriptorKeyID key, DescriptorTypeID type, Fill fill) {
    if (!gCurrent) return host::paramErr;
    gCurrent->log.push_back(std::string(name) + " " + FourCCText(key));
    CDescriptorStore::SWriter* writer = gCurrent->Writer(token);
    if (!writer) return host::paramErr;
    SDescriptorItem item;
    item.key = key;
    item.type = type;
    const OSErr result = fill(item);
    if (result == host::noErr) writer->items.push_back(item);
    return result;
}

OSErr PutInteger(PIWriteDescriptor token, DescriptorKeyID key, int32_t value) {
    return Put(token, "putInteger", key, host::typeInteger, [&](SDescriptorItem& item) {
        item.integer = value;
        return host::noErr;
    });
}

OSErr PutBoolean(PIWriteDescriptor token, DescriptorKeyID key, Boolean value) {
    return Put(token, "putBoolean", key, host::typeBoolean, [&](SDescriptorItem& item) {
        item.boolean = value != 0;
        return host::noErr;
    });
}

// --- What this host does not implement --------------------------------------

// The procs the plug-in never calls answer as a host that lacks them does:
// present in the table, so the tables stay complete, and refusing every
// call without touching the caller's outputs.
template <typename Proc>
struct SUnimplemented;

template <typename... Args>
struct SUnimplemented<OSErr (*)(Args...)> {
    static OSErr Answer(Args...) {
        if (gCurrent) gCurrent->log.push_back("unimplemented");
        return host::errPlugInHostInsufficient;
    }
};

template <typename Proc>
void Unimplemented(Proc& slot) {
    slot = &SUnimplemented<Proc>::Answer;
}

}  // namespace

// --- Items -------------------------------------------------------------------------

SDescriptorItem SDescriptorItem::Integer(DescriptorKeyID key, int32_t value) {
    SDescriptorItem item;
    item.key = key;
    item.type = host::typeInteger;
    item.integer = value;
    return item;
}

SDescriptorItem SDescriptorItem::Bool(DescriptorKeyID key, bool value) {
    SDescriptorItem item;
    item.key = key;
    item.type = host::typeBoolean;
    item.boolean = value;
    return item;
}

SDescriptorItem SDescriptorItem::Float(DescriptorKeyID key, double value) {
    SDescriptorItem item;
    item.key = key;
    item.type = host::typeFloat;
    item.number = value;
    return item;
}

SDescriptorItem SDescriptorItem::UnitFloat(DescriptorKeyID key, DescriptorUnitID unit, double value) {
    SDescriptorItem item = Float(key, value);
    item.type = kTypeUnitFloat;
    item.unit = unit;
    return item;
}

SDescriptorItem SDescriptorItem::Text(DescriptorKeyID key, const std::string& text) {
    SDescriptorItem item;
    item.key = key;
    item.type = host::typeText;
    item.bytes = text;
    return item;
}

SDescriptorItem SDescriptorItem::Enumerated(DescriptorKeyID key, DescriptorTypeID type,
                                            DescriptorEnumID value) {
    SDescriptorItem item;
    item.key = key;
    item.type = kTypeEnumerated;
    item.enumType = type;
    item.code = value;
    return item;
}

std::string FourCCText(uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

std::ostream& operator<<(std::ostream& out, const SDescriptorItem& item) {
    out << FourCCText(item.key) << ':' << FourCCText(item.type);
    if (item.type == host::typeInteger)
        out << '=' << item.integer;
    else if (item.type == host::typeBoolean)
        out << '=' << (item.boolean ? "true" : "false");
    else if (item.type == host::typeFloat || item.type == kTypeUnitFloat)
        out << '=' << item.number;
    else if (!item.bytes.empty())
        out << " (" << item.bytes.size() << " bytes)";
    else
        out << '=' << FourCCText(item.code);
    return out;
}

std::string EncodeDescriptor(const std::vector<SDescriptorItem>& items) {
    std::string out;
    Append(out, kMagic);
    Append(out, uint32_t(items.size()));
    for (const SDescriptorItem& item : items) {
        Append(out, item.key);
        Append(out, item.type);
        Append(out, item.flags);
        Append(out, item.integer);
        Append(out, item.number);
        Append(out, item.unit);
        Append(out, uint8_t(item.boolean));
        Append(out, item.code);
        Append(out, item.enumType);
        Append(out, uint32_t(item.bytes.size()));
        out += item.bytes;
    }
    return out;
}

std::optional<std::vector<SDescriptorItem>> DecodeDescriptor(const std::string& bytes) {
    size_t at = 0;
    uint32_t magic = 0, count = 0;
    if (!Take(bytes, at, magic) || magic != kMagic || !Take(bytes, at, count)) return std::nullopt;
    std::vector<SDescriptorItem> items;
    for (uint32_t i = 0; i < count; ++i) {
        SDescriptorItem item;
        uint8_t boolean = 0;
        uint32_t length = 0;
        if (!Take(bytes, at, item.key) || !Take(bytes, at, item.type) || !Take(bytes, at, item.flags) ||
            !Take(bytes, at, item.integer) || !Take(bytes, at, item.number) || !Take(bytes, at, item.unit) ||
            !Take(bytes, at, boolean) || !Take(bytes, at, item.code) || !Take(bytes, at, item.enumType) ||
            !Take(bytes, at, length) || bytes.size() - at < length)
            return std::nullopt;
        item.boolean = boolean != 0;
        item.bytes = bytes.substr(at, length);
        at += length;
        items.push_back(std::move(item));
    }
    if (at != bytes.size()) return std::nullopt;
    return items;
}

// --- The store -----------------------------------------------------------------------

CDescriptorStore::CDescriptorStore(CSimulatedHandles& handles) : handles_(handles) {
    readProcs.readDescriptorProcsVersion = host::kCurrentReadDescriptorProcsVersion;
    readProcs.numReadDescriptorProcs = host::kReadDescriptorProcsCount;
    readProcs.openReadDescriptorProc = OpenRead;
    readProcs.closeReadDescriptorProc = CloseRead;
    readProcs.getKeyProc = GetKey;
    readProcs.getIntegerProc = GetInteger;
    readProcs.getBooleanProc = GetBoolean;
    Unimplemented(readProcs.getFloatProc);
    Unimplemented(readProcs.getUnitFloatProc);
    Unimplemented(readProcs.getTextProc);
    Unimplemented(readProcs.getAliasProc);
    Unimplemented(readProcs.getEnumeratedProc);
    Unimplemented(readProcs.getClassProc);
    Unimplemented(readProcs.getSimpleReferenceProc);
    Unimplemented(readProcs.getObjectProc);
    Unimplemented(readProcs.getCountProc);
    Unimplemented(readProcs.getStringProc);
    Unimplemented(readProcs.getPinnedIntegerProc);
    Unimplemented(readProcs.getPinnedFloatProc);
    Unimplemented(readProcs.getPinnedUnitFloatProc);

    writeProcs.writeDescriptorProcsVersion = host::kCurrentWriteDescriptorProcsVersion;
    writeProcs.numWriteDescriptorProcs = host::kWriteDescriptorProcsCount;
    writeProcs.openWriteDescriptorProc = OpenWrite;
    writeProcs.closeWriteDescriptorProc = CloseWrite;
    writeProcs.putIntegerProc = PutInteger;
    writeProcs.putBooleanProc = PutBoolean;
    Unimplemented(writeProcs.putFloatProc);
    Unimplemented(writeProcs.putUnitFloatProc);
    Unimplemented(writeProcs.putTextProc);
    Unimplemented(writeProcs.putAliasProc);
    Unimplemented(writeProcs.putEnumeratedProc);
    Unimplemented(writeProcs.putClassProc);
    Unimplemented(writeProcs.putSimpleReferenceProc);
    Unimplemented(writeProcs.putObjectProc);
    Unimplemented(writeProcs.putCountProc);
    Unimplemented(writeProcs.putStringProc);
    Unimplemented(writeProcs.putScopedClassProc);
    Unimplemented(writeProcs.putScopedObjectProc);
    parameters.descriptorParametersVersion = host::kCurrentDescriptorParametersVersion;
    parameters.playInfo = host::plugInDialogDontDisplay;
    parameters.recordInfo = host::plugInDialogNone;
    parameters.descriptor = nullptr;
    parameters.readDescriptorProcs = &readProcs;
    parameters.writeDescriptorProcs = &writeProcs;
}

CDescriptorStore::~CDescriptorStore() {
    DisposeHeld();
    if (gCurrent == this) gCurrent = nullptr;
}

void CDescriptorStore::MakeCurrent() { gCurrent = this; }

void CDescriptorStore::AfterCall() {
    // Two-block handles the plug-in no longer leaves with the host were
    // taken over by it: freed (or leaked, which a leak checker reports).
    for (auto it = platform_.begin(); it != platform_.end();)
        it = it->first == parameters.descriptor ? std::next(it) : platform_.erase(it);
}

void CDescriptorStore::Give(const std::vector<SDescriptorItem>& items) {
    DisposeHeld();
    parameters.descriptor = MakeHandle(EncodeDescriptor(items), platformHandles);
}

void CDescriptorStore::Clear() { DisposeHeld(); }

std::optional<std::vector<SDescriptorItem>> CDescriptorStore::Held() const {
    auto bytes = HandleBytes(parameters.descriptor);
    if (!bytes) return std::nullopt;
    return DecodeDescriptor(*bytes);
}

void CDescriptorStore::DisposeHeld() {
    Handle held = parameters.descriptor;
    parameters.descriptor = nullptr;
    if (!held) return;
    if (auto it = platform_.find(held); it != platform_.end()) {
        FreePlatformBlock(*held);
        FreePlatformBlock(held);
        platform_.erase(it);
    } else {
        handles_.Dispose(held);
    }
}

Handle CDescriptorStore::MakeHandle(const std::string& bytes, bool platform) {
    if (!platform) {
        Handle h = handles_.New(int32_t(bytes.size()));
        if (h && !bytes.empty()) std::memcpy(*h, bytes.data(), bytes.size());
        return h;
    }
    char* data = NewPlatformBlock(bytes.size());
    char** master = reinterpret_cast<char**>(NewPlatformBlock(sizeof(char*)));
    if (!data || !master) {
        FreePlatformBlock(data);
        FreePlatformBlock(master);
        return nullptr;
    }
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    *master = data;
    platform_[master] = bytes.size();
    return master;
}

std::optional<std::string> CDescriptorStore::HandleBytes(Handle handle) const {
    if (!handle) return std::nullopt;
    if (auto it = platform_.find(handle); it != platform_.end()) return std::string(*handle, it->second);
    if (!handles_.Owns(handle)) return std::nullopt;
    return std::string(*handle, size_t(handles_.Size(handle)));
}

CDescriptorStore::SReader* CDescriptorStore::Reader(PIReadDescriptor token) {
    for (auto& reader : readers_)
        if (reinterpret_cast<PIReadDescriptor>(reader.get()) == token) return reader.get();
    return nullptr;
}

CDescriptorStore::SWriter* CDescriptorStore::Writer(PIWriteDescriptor token) {
    for (auto& writer : writers_)
        if (reinterpret_cast<PIWriteDescriptor>(writer.get()) == token) return writer.get();
    return nullptr;
}

PIReadDescriptor CDescriptorStore::OpenReader(PIDescriptorHandle descriptor, DescriptorKeyID* keys) {
    log.push_back("openRead");
    if (refuseReaders) return nullptr;
    auto bytes = HandleBytes(descriptor);
    auto items = bytes ? DecodeDescriptor(*bytes) : std::nullopt;
    if (!items) return nullptr;
    auto reader = std::make_unique<SReader>();
    reader->items = std::move(*items);
    reader->keys = keys;
    while (keys && keys[reader->keyCount] != 0) ++reader->keyCount;
    readers_.push_back(std::move(reader));
    return reinterpret_cast<PIReadDescriptor>(readers_.back().get());
}

OSErr CDescriptorStore::CloseReader(PIReadDescriptor token) {
    log.push_back("closeRead");
    auto it = std::find_if(readers_.begin(), readers_.end(), [&](const auto& reader) {
        return reinterpret_cast<PIReadDescriptor>(reader.get()) == token;
    });
    if (it == readers_.end()) return host::paramErr;
    const OSErr error = (*it)->error;
    readers_.erase(it);
    return error;
}

PIWriteDescriptor CDescriptorStore::OpenWriter() {
    log.push_back("openWrite");
    if (refuseWriters) return nullptr;
    writers_.push_back(std::make_unique<SWriter>());
    return reinterpret_cast<PIWriteDescriptor>(writers_.back().get());
}

OSErr CDescriptorStore::CloseWriter(PIWriteDescriptor token, PIDescriptorHandle* created) {
    log.push_back("closeWrite");
    auto it = std::find_if(writers_.begin(), writers_.end(), [&](const auto& writer) {
        return reinterpret_cast<PIWriteDescriptor>(writer.get()) == token;
    });
    if (it == writers_.end() || !created) return host::paramErr;
    std::vector<SDescriptorItem> items = std::move((*it)->items);
    writers_.erase(it);
    Handle h = MakeHandle(EncodeDescriptor(items), platformHandles);
    written.push_back(std::move(items));
    if (!h) return host::memFullErr;
    *created = h;
    return host::noErr;
}

}  // namespace sim
