// What the parameter tests share: a host with a small document, and ways to
// set and read the parameters where the host keeps them (the descriptor,
// the parameters handle, the preferences file).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "sim/HostSimulator.h"
#include "tests/support/TestImages.h"
#include "params/Prefs.h"
#include "params/ScriptParams.h"
#include "params/VandrelParams.h"

namespace params_testing {

using sim::SDescriptorItem;

// The two values as the plug-in hands them back in the descriptor it
// writes after Start.
struct SRecorded {
    int32_t depth;
    bool white;
    bool operator==(const SRecorded&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const SRecorded& r) {
    return out << "{depth " << r.depth << ", " << (r.white ? "white" : "black") << "}";
}

// The descriptor the host holds after Start, which must be exactly the
// boolean SkCo and then the integer MxLv.
inline std::optional<SRecorded> Recorded(sim::CHostSimulator& host) {
    auto held = host.Descriptors().Held();
    if (!held || held->size() != 2) return std::nullopt;
    const SDescriptorItem& white = (*held)[0];
    const SDescriptorItem& depth = (*held)[1];
    if (white.key != kKeyPaintWhite || white.type != host::typeBoolean) return std::nullopt;
    if (depth.key != kKeyMaxDepth || depth.type != host::typeInteger) return std::nullopt;
    return SRecorded{depth.integer, white.boolean};
}

inline SDescriptorItem Depth(int32_t depth) { return SDescriptorItem::Integer(kKeyMaxDepth, depth); }
inline SDescriptorItem White(bool white) { return SDescriptorItem::Bool(kKeyPaintWhite, white); }

struct SBlock {
    uint32_t signature = kPluginCode;
    uint16_t version = kParamsVersion;
    uint16_t depth = kDefaultMaxDepth;
    char remainder = kLeaveBlack;
};

// The record's handle by value: the record is packed, and a test macro
// would bind a reference to the misaligned member.
inline Handle Parameters(const FilterRecord& record) { return record.parameters; }

// Writes a parameters handle the way a host that kept one hands it back.
inline void SetHandleBlock(sim::CHostSimulator& host, const SBlock& block, int32_t size = 12) {
    // The record is packed: its handle member is set, never bound to.
    if (host.Record().parameters) host.Handles().Dispose(host.Record().parameters);
    const Handle parameters = host.Handles().New(size);
    host.Record().parameters = parameters;
    uint8_t bytes[12] = {uint8_t(block.signature),
                         uint8_t(block.signature >> 8),
                         uint8_t(block.signature >> 16),
                         uint8_t(block.signature >> 24),
                         uint8_t(block.version),
                         uint8_t(block.version >> 8),
                         0,
                         0,
                         uint8_t(block.depth),
                         uint8_t(block.depth >> 8),
                         uint8_t(block.remainder),
                         0};
    std::copy(bytes, bytes + std::min(size, 12), *parameters);
}

// The block in the handle, read byte by byte as little-endian.
inline std::optional<SBlock> HandleBlock(sim::CHostSimulator& host) {
    Handle parameters = host.Record().parameters;
    if (!parameters || host.Handles().Size(parameters) != 12) return std::nullopt;
    const auto* b = reinterpret_cast<const uint8_t*>(*parameters);
    SBlock block;
    block.signature = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    block.version = uint16_t(b[4] | b[5] << 8);
    block.depth = uint16_t(b[8] | b[9] << 8);
    block.remainder = char(b[10]);
    return block;
}

inline std::filesystem::path PrefsFile(const sim::CHostSimulator& host) {
    return std::filesystem::path(host.prefsFolder) / kPrefsFileName;
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::optional<std::string> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The preferences line the plug-in writes for these values.
inline std::string PrefsLine(uint16_t depth, char remainder, uint16_t version = kParamsVersion,
                             uint32_t signature = kPluginCode) {
    return std::to_string(signature) + " " + std::to_string(version) + " " + std::to_string(depth) + " " +
           remainder + " ";
}

// A host with a small document, ready for a run.
class ParamsTest : public ::testing::Test {
protected:
    ParamsTest() {
        auto image = testing_support::ImageFromRows({"r#b", "###", "g#y"});
        host.SetDocument(testing_support::RgbSpec(image), image);
    }
    // A run left open ends as a host ends it, so no filter object outlives
    // the test.
    ~ParamsTest() override {
        if (host.dataSlot) host.Call(host::filterSelectorFinish);
    }

    // Prepare and Start as a host repeating the filter without asking.
    int16_t PrepareAndStart() {
        const int16_t prepared = host.Call(host::filterSelectorPrepare);
        if (prepared != host::noErr) return prepared;
        return host.Call(host::filterSelectorStart);
    }

    void SetPlayInfo(int16_t playInfo) { host.Descriptors().parameters.playInfo = playInfo; }

    sim::CHostSimulator host;
};

}  // namespace params_testing
