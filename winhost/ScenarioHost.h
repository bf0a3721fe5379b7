// What the Windows scenarios share: the host process's own window, a
// simulated host set up as a Windows host is, and the places where the
// plug-in keeps its parameters (descriptor, parameters handle, the
// preferences file in the user's application-data folder).
#pragma once

#include <windows.h>

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "sim/HostSimulator.h"

namespace winhost {

// The host's main window, made once per process by main(); the dialogs
// must come up owned by it.
HWND HostWindow();
void CreateHostWindow();

// Options from the command line.
struct SOptions {
    std::string shotsFolder;  // where dialog screenshots go as BMP; empty: none
    std::string browserLog;   // file the test browser appends each opened address to; empty: unchecked
};
SOptions& Options();

// The 12-byte record in the parameters handle.
struct SBlock {
    uint32_t signature;
    uint16_t version;
    uint16_t depth;
    char remainder;
    bool operator==(const SBlock&) const = default;
};
std::ostream& operator<<(std::ostream& out, const SBlock& block);

// The two values of the descriptor the plug-in hands back after Start.
struct SRecorded {
    int32_t depth;
    bool white;
    bool operator==(const SRecorded&) const = default;
};
std::ostream& operator<<(std::ostream& out, const SRecorded& recorded);

// A simulated host over the host window with a small RGB document.
class CScenarioHost {
public:
    CScenarioHost();
    ~CScenarioHost();

    int16_t Parameters(int16_t playInfo);
    int16_t PrepareAndStart(int16_t playInfo);
    void Finish();

    std::optional<SBlock> HandleBlock();
    void SetHandleBlock(uint16_t depth, char remainder);
    std::optional<SRecorded> Recorded();
    void GiveDescriptor(std::optional<int32_t> depth, std::optional<bool> white) {
        sim.GiveSettings(depth, white);
    }

    sim::CHostSimulator sim;
};

// The preferences file where the Windows shell puts the user's
// application data, and its content.
std::string PrefsFilePath();
std::optional<std::string> ReadTextFile(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& text);
void RemovePrefsFile();
std::string PrefsLine(uint16_t depth, char remainder, uint16_t version = 1);

}  // namespace winhost

namespace sim {
// Images in failure messages: size, then each pixel's planes, row by row.
std::ostream& operator<<(std::ostream& out, const CHostImage& image);
}  // namespace sim
