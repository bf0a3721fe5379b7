// The plug-in's two dialog templates as the headless window system knows
// them: what the resource compiler would build from resources/Dialogs.rc,
// reduced to what behaves differently from one control to the next.
#pragma once

#include <vector>

namespace headless {

enum class EControl { Dialog, Button, CheckBox, Edit, Static, Trackbar };

struct SControlTemplate {
    int id;
    EControl kind;
    const char* className;  // as the resource script names it
    const char* text;
    bool digitsOnly = false;  // an edit field that refuses typed non-digits
    bool isDefault = false;   // the button Enter presses
};

struct SDialogTemplate {
    int id;
    const char* caption;
    std::vector<SControlTemplate> controls;  // in template order

    bool UsesTrackbar() const;
};

// Null for an ID the plug-in has no template for: creating the dialog fails.
const SDialogTemplate* FindDialogTemplate(int id);

}  // namespace headless
