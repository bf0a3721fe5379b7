// The answer to the plug-in's dialogs when it runs on Linux inside a host
// without a screen: a short script in the environment variable
// VANDREL_DIALOG, such as "depth=42;white=1;ok" or "cancel". Without one,
// every dialog is confirmed with the values it shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/linux/DialogUser.h"

namespace headless {

constexpr const char* kDialogScriptVariable = "VANDREL_DIALOG";

struct SDialogAction {
    enum class EKind { Depth, Slider, White, Web, Ok, Cancel, Escape, Close };
    EKind kind;
    int value = 0;
};

struct SDialogScript {
    bool valid = true;
    std::string error;  // what made it invalid
    bool failCreation = false;  // "fail": the dialog cannot be created
    std::vector<SDialogAction> actions;
};

// Actions separated by ';', spaces ignored:
//   depth=N   select the depth field and type N
//   slider=N  drag the depth slider to N
//   white=0|1 set the paint-white box
//   web       press the About box's web button
//   ok, cancel, escape, close   close the dialog
//   fail      the dialog cannot be created
// Each dialog plays the actions meant for its own controls and skips the
// rest, so one script can answer both dialogs. A dialog still open at the
// end is confirmed.
SDialogScript ParseDialogScript(std::string_view text);

void PlayDialogScript(const SDialogScript& script, CDialogUser& user);

// The script of the environment; an empty one when the variable is unset.
SDialogScript DialogScriptFromEnvironment();

}  // namespace headless
