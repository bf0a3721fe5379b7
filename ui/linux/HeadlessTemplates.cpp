#include "ui/linux/HeadlessTemplates.h"

#include <algorithm>

#include "resources/PluginInfo.h"

namespace headless {

namespace {

constexpr int kIdStatic = -1;

const SDialogTemplate kParams{
    IDD_PARAMS,
    "Vandrel",
    {
        {1, EControl::Button, "Button", "OK", false, true},
        {2, EControl::Button, "Button", "Cancel"},
        {IDC_DEPTH_EDIT, EControl::Edit, "Edit", "", true},
        {IDC_PAINT_WHITE, EControl::CheckBox, "Button", "Paint too deep pixels white."},
        {kIdStatic, EControl::Static, "Static", "Black Pixel Depth:"},
        {IDC_DEPTH_SLIDER, EControl::Trackbar, "msctls_trackbar32", ""},
        {kIdStatic, EControl::Static, "Static", "Low pixel depth is faster for large black areas."},
    },
};

const SDialogTemplate kAbout{
    IDD_ABOUT,
    "About Plug-In",
    {
        {1, EControl::Button, "Button", "OK", false, true},
        {IDC_ABOUT_TITLE, EControl::Static, "Static", VANDREL_PRODUCT_NAME},
        {IDC_ABOUT_VERSION, EControl::Static, "Static", "v1.X"},
        {IDC_ABOUT_COPYRIGHT, EControl::Static, "Static", "Copyright notice"},
        {IDC_ABOUT_WEB, EControl::Button, "Button", VANDREL_WEB_BUTTON},
    },
};

}  // namespace

bool SDialogTemplate::UsesTrackbar() const {
    return std::any_of(controls.begin(), controls.end(),
                       [](const SControlTemplate& control) { return control.kind == EControl::Trackbar; });
}

const SDialogTemplate* FindDialogTemplate(int id) {
    if (id == kParams.id) return &kParams;
    if (id == kAbout.id) return &kAbout;
    return nullptr;
}

}  // namespace headless
