// The answer to the plug-in's dialogs on Linux, where there is no window
// system to show them: a short script, such as "depth=42;white=1;ok" or
// "cancel", played on the dialogs' own logic. The plug-in reads it from the
// environment variable VANDREL_DIALOG; tests hand it over directly. Without
// one, every dialog is confirmed with the values it opens with.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "params/AutoFlatsParams.h"
#include "params/VandrelParams.h"

namespace headless {

constexpr const char* kDialogScriptVariable = "VANDREL_DIALOG";

struct SDialogAction {
    enum class EKind { Depth, Slider, White, Gap, MinRegion, SpotBlacks, Web, Ok, Cancel, Escape, Close };
    EKind kind;
    int value = 0;
};

struct SDialogScript {
    bool valid = true;
    std::string error;          // what made it invalid
    bool failCreation = false;  // "fail": the dialog cannot be created
    std::vector<SDialogAction> actions;
};

// Actions separated by ';', spaces ignored:
//   depth=N   select the depth field and type N
//   slider=N  drag the depth slider to N
//   white=0|1 set the paint-white box
//   gap=N, region=N, spots=0|1   Auto Flats' gap and smallest-region
//             fields and its spot-blacks-as-regions box
//   web       press the About box's web button
//   ok, cancel, escape, close   close the dialog
//   fail      the dialog cannot be created
// Each dialog plays the actions meant for its own controls and skips the
// rest, so one script can answer both dialogs. A dialog still open at the
// end is confirmed.
SDialogScript ParseDialogScript(std::string_view text);

// The script of the environment; an empty one when the variable is unset.
SDialogScript DialogScriptFromEnvironment();

// The results a dialog ends with, as Windows reports them.
constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;
constexpr int kDialogFailed = -1;  // it could not be created

// The parameters dialog opened on `record` and answered by `script`; OK
// stores what the dialog then shows into `record`, nothing else touches it.
// A script that cannot be read is reported on standard error and the
// dialog fails to open.
int AnswerParamsDialog(const SDialogScript& script, CVandrelParams& record);

// Vandrel Auto Flats' parameters dialog, likewise.
int AnswerAutoFlatsDialog(const SDialogScript& script, CAutoFlatsParams& record);

// The About box answered by `script`. Its web button opens nothing here.
int AnswerAboutBox(const SDialogScript& script);

}  // namespace headless
