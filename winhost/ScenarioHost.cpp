#include "winhost/ScenarioHost.h"

#include <shlobj.h>

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>

#include "tests/support/TestImages.h"
#include "params/Prefs.h"
#include "params/ScriptParams.h"
#include "params/VandrelParams.h"

namespace winhost {

namespace {
HWND gHostWindow = nullptr;
}  // namespace

HWND HostWindow() { return gHostWindow; }

void CreateHostWindow() {
    WNDCLASSA frame{};
    frame.lpfnWndProc = DefWindowProcA;
    frame.hInstance = GetModuleHandleA(nullptr);
    frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    frame.lpszClassName = "VandrelScenarioHost";
    RegisterClassA(&frame);
    // Shown in a corner, as a host's frame would be behind its dialogs.
    gHostWindow = CreateWindowA(frame.lpszClassName, "Scenario host", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200,
                                nullptr, nullptr, frame.hInstance, nullptr);
    if (gHostWindow) ShowWindow(gHostWindow, SW_SHOW);
}

SOptions& Options() {
    static SOptions options;
    return options;
}

std::ostream& operator<<(std::ostream& out, const SBlock& b) {
    return out << "{signature " << b.signature << ", version " << b.version << ", depth " << b.depth << ", '"
               << b.remainder << "'}";
}

std::ostream& operator<<(std::ostream& out, const SRecorded& r) {
    return out << "{depth " << r.depth << ", " << (r.white ? "white" : "black") << "}";
}

CScenarioHost::CScenarioHost() {
    const auto image = testing_support::ImageFromRows({"r#b", "###", "g#y"});
    sim.SetDocument(testing_support::RgbSpec(image), image);
    sim.platform.hwnd = reinterpret_cast<intptr_t>(HostWindow());
}

CScenarioHost::~CScenarioHost() {
    // A run left open ends as a host ends it.
    if (sim.dataSlot) sim.Call(host::filterSelectorFinish);
}

int16_t CScenarioHost::Parameters(int16_t playInfo) {
    sim.Descriptors().parameters.playInfo = playInfo;
    return sim.Call(host::filterSelectorParameters);
}

int16_t CScenarioHost::PrepareAndStart(int16_t playInfo) {
    sim.Descriptors().parameters.playInfo = playInfo;
    const int16_t prepared = sim.Call(host::filterSelectorPrepare);
    if (prepared != host::noErr) return prepared;
    return sim.Call(host::filterSelectorStart);
}

void CScenarioHost::Finish() {
    if (sim.dataSlot) sim.Call(host::filterSelectorFinish);
}

std::optional<SBlock> CScenarioHost::HandleBlock() {
    Handle parameters = sim.Record().parameters;
    if (!parameters || sim.Handles().Size(parameters) != 12) return std::nullopt;
    const auto* b = reinterpret_cast<const uint8_t*>(*parameters);
    return SBlock{uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24,
                  uint16_t(b[4] | b[5] << 8), uint16_t(b[8] | b[9] << 8), char(b[10])};
}

void CScenarioHost::SetHandleBlock(uint16_t depth, char remainder) {
    if (sim.Record().parameters) sim.Handles().Dispose(sim.Record().parameters);
    const Handle parameters = sim.Handles().New(12);
    sim.Record().parameters = parameters;
    const uint32_t code = kPluginCode;
    const uint8_t bytes[12] = {uint8_t(code),
                               uint8_t(code >> 8),
                               uint8_t(code >> 16),
                               uint8_t(code >> 24),
                               1,
                               0,
                               0,
                               0,
                               uint8_t(depth),
                               uint8_t(depth >> 8),
                               uint8_t(remainder),
                               0};
    std::copy(bytes, bytes + 12, *parameters);
}

std::optional<SRecorded> CScenarioHost::Recorded() {
    auto held = sim.Descriptors().Held();
    if (!held || held->size() != 2) return std::nullopt;
    const sim::SDescriptorItem& white = (*held)[0];
    const sim::SDescriptorItem& depth = (*held)[1];
    if (white.key != kKeyPaintWhite || white.type != host::typeBoolean) return std::nullopt;
    if (depth.key != kKeyMaxDepth || depth.type != host::typeInteger) return std::nullopt;
    return SRecorded{depth.integer, white.boolean};
}

std::string PrefsFilePath() {
    char folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE)) return {};
    return std::string(folder) + "\\" + kPrefsFileName;
}

std::optional<std::string> ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void RemovePrefsFile() { DeleteFileA(PrefsFilePath().c_str()); }

std::string PrefsLine(uint16_t depth, char remainder, uint16_t version) {
    return std::to_string(kPluginCode) + " " + std::to_string(version) + " " + std::to_string(depth) + " " +
           remainder + " ";
}

}  // namespace winhost

namespace sim {

std::ostream& operator<<(std::ostream& out, const CHostImage& image) {
    out << image.Width() << "x" << image.Height() << "x" << image.Planes() << ":";
    for (int y = 0; y < image.Height(); ++y) {
        out << "\n ";
        for (int x = 0; x < image.Width(); ++x) {
            out << " ";
            for (int k = 0; k < image.Planes(); ++k) out << (k ? "," : "") << int(image.At(x, y, k));
        }
    }
    return out;
}

}  // namespace sim
