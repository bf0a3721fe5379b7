// The parameters between runs on Windows: through the host's descriptor,
// the parameters handle (with the host's handle procs and with Windows
// global memory when it has none) and the preferences file in the wine
// user's application-data folder.
#include <windows.h>

#include "params/VandrelParams.h"
#include "winhost/Check.h"
#include "winhost/ScenarioHost.h"

using namespace winhost;

WH_SCENARIO(Params, DescriptorValuesTravelThroughTheHandleToStart) {
    RemovePrefsFile();
    CScenarioHost host;
    // Played silently from an action: no dialog, the values go into the handle.
    host.GiveDescriptor(42, true);
    WH_CHECK_EQ(host.Parameters(host::plugInDialogSilent), int16_t(host::noErr));
    WH_CHECK_EQ(host.HandleBlock(), (std::optional<SBlock>(SBlock{kPluginCode, 1, 42, 'W'})));

    // A Start that wants the dialog's values takes them from the handle,
    // over a descriptor that says otherwise, and records them.
    host.GiveDescriptor(7, false);
    WH_CHECK_EQ(host.PrepareAndStart(host::plugInDialogDisplay), int16_t(host::noErr));
    WH_CHECK_EQ(host.Recorded(), (std::optional<SRecorded>(SRecorded{42, true})));
    host.Finish();

    // A handle the host kept from an earlier session.
    host.SetHandleBlock(300, 'B');
    WH_CHECK_EQ(host.PrepareAndStart(host::plugInDialogDisplay), int16_t(host::noErr));
    WH_CHECK_EQ(host.Recorded(), (std::optional<SRecorded>(SRecorded{300, false})));
    // Nothing of this touches the preferences file: only OK in the dialog writes it.
    WH_CHECK(!ReadTextFile(PrefsFilePath()).has_value());
}

WH_SCENARIO(Params, ThePreferencesFileIsReadFromTheUsersApplicationData) {
    const std::string path = PrefsFilePath();
    WH_CHECK(path.find("\\AppData\\Roaming\\Vandrel Pro Prefs") != std::string::npos);
    CScenarioHost host;
    // The simulator's private folder is what the Linux build reads; the
    // Windows build must ignore it and ask the shell.
    WriteTextFile(host.sim.prefsFolder + "\\Vandrel Pro Prefs", PrefsLine(5, 'B'));

    WriteTextFile(path, PrefsLine(77, 'W'));
    host.sim.Descriptors().Clear();
    WH_CHECK(host.sim.RunFilter(false).Succeeded());
    WH_CHECK_EQ(host.Recorded(), (std::optional<SRecorded>(SRecorded{77, true})));

    // A file of another version resets everything to the defaults.
    WriteTextFile(path, PrefsLine(77, 'W', 2));
    host.sim.Descriptors().Clear();
    WH_CHECK(host.sim.RunFilter(false).Succeeded());
    WH_CHECK_EQ(host.Recorded(), (std::optional<SRecorded>(SRecorded{256, false})));
    RemovePrefsFile();
}

WH_SCENARIO(Params, AHostWithoutHandleProcsHandsOutGlobalMemory) {
    RemovePrefsFile();
    CScenarioHost host;
    host.sim.Record().handleProcs = nullptr;
    host.sim.Descriptors().platformHandles = true;

    host.GiveDescriptor(14, true);
    Handle given = host.sim.Descriptors().parameters.descriptor;
    WH_CHECK(given != nullptr);
    if (!given) return;
    HGLOBAL master = GlobalHandle(given);
    HGLOBAL data = GlobalHandle(*given);
    WH_CHECK(master != nullptr && data != nullptr);

    // Read, the descriptor is the plug-in's: it frees both blocks.
    WH_CHECK_EQ(host.Parameters(host::plugInDialogSilent), int16_t(host::noErr));
    WH_CHECK(host.sim.Descriptors().parameters.descriptor == nullptr);
    WH_CHECK_EQ(GlobalFlags(master), UINT(GMEM_INVALID_HANDLE));
    WH_CHECK_EQ(GlobalFlags(data), UINT(GMEM_INVALID_HANDLE));

    host.GiveDescriptor(15, true);
    WH_CHECK_EQ(host.PrepareAndStart(host::plugInDialogSilent), int16_t(host::noErr));
    WH_CHECK_EQ(host.Recorded(), (std::optional<SRecorded>(SRecorded{15, true})));
}
