// Vandrel Auto Flats' own .8bf as a Windows host meets it: its resources
// read through the system's resource API, a run whose pixels are the
// library's, and its real parameters dialog worked by a person at the screen.
#include <windows.h>

#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "params/AutoFlatsStores.h"
#include "resources/AutoFlatsCodes.h"
#include "resources/PluginResources.h"
#include "sim/HostSimulator.h"
#include "sim/PluginLibrary.h"
#include "tests/support/TestImages.h"
#include "winhost/Check.h"
#include "winhost/ModuleResources.h"
#include "winhost/DialogDriver.h"
#include "winhost/ScenarioHost.h"

namespace {

using namespace winhost;

constexpr EntryArch kThisArch = sizeof(void*) == 8 ? EntryArch::X64 : EntryArch::X86;

sim::CHostImage LineArt() {
    return testing_support::ImageFromRows({
        "................",
        ".######..######.",
        ".#....#..#....#.",
        ".#.r..#..#......",
        ".#....#..#....#.",
        ".######..######.",
        "................",
    });
}

// The library's flats of an RGB page at this gap.
sim::CHostImage LibraryFlats(const sim::CHostImage& page, int gap) {
    autoflat::SPageView view;
    view.pixels = page.Bytes().data();
    view.width = page.Width();
    view.height = page.Height();
    view.kind = autoflat::EPageKind::Rgb;
    autoflat::SAutoFlatSettings settings;
    settings.gap = gap;
    settings.dpi = 300;
    settings.workers = 1;
    const autoflat::SAutoFlatResult result = autoflat::AutoFlat(view, nullptr, settings);
    sim::CHostImage flats(page.Width(), page.Height(), 3);
    for (size_t i = 0; i < result.flats.size() && i < flats.Bytes().size(); ++i)
        flats.Bytes()[i] = result.flats[i];
    return flats;
}

std::string AutoFlatsPrefsPath() {
    char folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE)) return {};
    return std::string(folder) + "\\" + kAutoFlatsPrefsFileName;
}

struct SAutoFlatsHost {
    SAutoFlatsHost() : sim(sim::DefaultAutoFlatsPluginPath()) {
        const sim::CHostImage page = LineArt();
        sim.SetDocument(testing_support::RgbSpec(page), page);
        sim.platform.hwnd = reinterpret_cast<intptr_t>(HostWindow());
    }
    sim::CHostSimulator sim;
};

}  // namespace

WH_SCENARIO(AutoFlats, ItsOwnModuleCarriesItsPiPLAndTerminology) {
    sim::CPluginLibrary library(sim::DefaultAutoFlatsPluginPath());
    HMODULE module = static_cast<HMODULE>(library.NativeHandle());
    const auto pipl = ResourceBytes(module, kPiPLResourceType, kPluginResourceID);
    const auto aete = ResourceBytes(module, kTerminologyResourceType, kPluginResourceID);
    WH_CHECK(pipl.has_value());
    WH_CHECK(aete.has_value());
    if (!pipl || !aete) return;
    WH_CHECK_EQ(*pipl, BuildAutoFlatsPiPL(kThisArch));
    WH_CHECK_EQ(*aete, BuildAutoFlatsTerminology());
    WH_CHECK(GetProcAddress(module, "PluginMain") != nullptr);
}

WH_SCENARIO(AutoFlats, ARunGivesTheLibrarysFlatsAndRecordsItsKeys) {
    SAutoFlatsHost host;
    host.sim.Descriptors().Give({sim::SDescriptorItem::Integer(kKeyMaxGap, 3)});
    const sim::SRunResult run = host.sim.RunFilter(false);
    WH_CHECK(run.Succeeded());
    WH_CHECK_EQ(host.sim.Output(), LibraryFlats(LineArt(), 3));
    WH_CHECK(!host.sim.Descriptors().written.empty());
    if (!host.sim.Descriptors().written.empty())
        WH_CHECK_EQ(host.sim.Descriptors().written.back().front(),
                    sim::SDescriptorItem::Integer(kKeyMaxGap, 3));
}

WH_SCENARIO(AutoFlats, TheDialogKeepsWhatWasTypedInItsOwnPreferencesFile) {
    DeleteFileA(AutoFlatsPrefsPath().c_str());
    SAutoFlatsHost host;
    int16_t result = 0;
    {
        CDialogDriver driver(AUTOFLATS_PRODUCT_NAME, [](CScreenUser& user) {
            WH_CHECK(GetWindow(user.Dialog(), GW_OWNER) == HostWindow());
            WH_CHECK_EQ(user.Text(IDC_GAP_EDIT), std::string("0"));
            WH_CHECK(user.Checked(IDC_SPOT_BLACKS_REGIONS));
            user.Screenshot("autoflats-dialog");
            user.SelectAll(IDC_GAP_EDIT);
            user.Type(IDC_GAP_EDIT, "99");
            // Past the widest gap offered: brought back at once.
            WH_CHECK_EQ(user.Text(IDC_GAP_EDIT), std::string("64"));
            user.SelectAll(IDC_GAP_EDIT);
            user.Type(IDC_GAP_EDIT, "3");
            user.SelectAll(IDC_MIN_REGION_EDIT);
            user.Type(IDC_MIN_REGION_EDIT, "25");
            user.Click(IDC_SPOT_BLACKS_REGIONS);
            user.Click(IDOK);
        });
        host.sim.Descriptors().parameters.playInfo = host::plugInDialogDisplay;
        result = host.sim.Call(host::filterSelectorParameters);
    }
    WH_CHECK_EQ(result, int16_t(host::noErr));
    const std::string expected = std::to_string(kAutoFlatsCode) + " 1 3 25 L ";
    WH_CHECK_EQ(ReadTextFile(AutoFlatsPrefsPath()), std::optional<std::string>(expected));
    WH_CHECK_EQ(host.sim.Call(host::filterSelectorPrepare), int16_t(host::noErr));
    WH_CHECK_EQ(host.sim.Call(host::filterSelectorStart), int16_t(host::noErr));
    WH_CHECK_EQ(host.sim.Output(), LibraryFlats(LineArt(), 3));
    host.sim.Call(host::filterSelectorFinish);
    DeleteFileA(AutoFlatsPrefsPath().c_str());
}
