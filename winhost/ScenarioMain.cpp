// The Windows host scenarios: the built .8bf loaded by the Windows loader
// and driven through PluginMain as a Windows host drives it, with its real
// dialogs on the screen. Under wine on the build machine this is the only
// place the Win32 side of the plug-in runs for real.
//
//   vandrel_winhost [--only GROUP] [--shots FOLDER] [--browser-log FILE]
//
// Exit status 0 only when every check of every scenario passed.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "winhost/Check.h"
#include "winhost/ScenarioHost.h"

int main(int argc, char** argv) {
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--only" && hasValue) {
            only = argv[++i];
        } else if (argument == "--shots" && hasValue) {
            winhost::Options().shotsFolder = argv[++i];
        } else if (argument == "--browser-log" && hasValue) {
            winhost::Options().browserLog = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--only GROUP] [--shots FOLDER] [--browser-log FILE]\n", argv[0]);
            return 2;
        }
    }

    // What every host process does before it loads plug-ins: the common
    // controls, the trackbar among them, are registered, and it has a
    // window to own their dialogs.
    INITCOMMONCONTROLSEX classes{static_cast<DWORD>(sizeof(INITCOMMONCONTROLSEX)), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    winhost::CreateHostWindow();
    if (!winhost::HostWindow()) {
        std::fprintf(stderr, "cannot create the host window (error %lu)\n", GetLastError());
        return 1;
    }

    // What the host reads first comes first; the dialogs, which need the
    // screen, last.
    const std::vector<std::string> order = {"Resources", "Flatting", "Params", "Dialogs", "AutoFlats"};
    auto rank = [&](const winhost::SScenario& s) {
        return std::find(order.begin(), order.end(), s.group) - order.begin();
    };
    std::vector<winhost::SScenario> scenarios = winhost::Scenarios();
    std::stable_sort(scenarios.begin(), scenarios.end(),
                     [&](const auto& a, const auto& b) { return rank(a) < rank(b); });

    int passed = 0, failed = 0, run = 0;
    for (const winhost::SScenario& scenario : scenarios) {
        if (!only.empty() && scenario.group != only) continue;
        ++run;
        const std::string name = scenario.group + "." + scenario.name;
        std::printf("[ RUN      ] %s\n", name.c_str());
        std::fflush(stdout);
        const int failedBefore = winhost::FailedChecks();
        try {
            scenario.run();
        } catch (const std::exception& error) {
            winhost::RecordCheck(false, __FILE__, __LINE__, std::string("exception: ") + error.what());
        }
        const bool ok = winhost::FailedChecks() == failedBefore;
        (ok ? passed : failed)++;
        std::printf("[ %s ] %s\n", ok ? "      OK" : "  FAILED", name.c_str());
        std::fflush(stdout);
    }
    DestroyWindow(winhost::HostWindow());

    if (run == 0) {
        std::fprintf(stderr, "no scenario in group '%s'\n", only.c_str());
        return 1;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
