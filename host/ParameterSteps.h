// How both filters take their parameters from the host: the order of the
// preferences file, the host's descriptor, the dialog and the parameters
// handle, which each filter fills with its own record and stores.
#pragma once

#include <functional>

#include "hostapi/HostInterface.h"

struct SParameterSteps {
    std::function<void()> loadPrefs;
    std::function<void()> savePrefs;
    std::function<bool()> readScript;  // true: the dialog is to be shown
    std::function<bool()> runDialog;   // true: closed with OK
    std::function<bool()> loadHandle;  // true: the handle held a valid record
    std::function<void()> storeHandle;
};

// The Parameters selector: the preferences, then the descriptor; the dialog
// when the host asks for it, whose OK saves the preferences and whose
// Cancel answers userCanceledErr; the handle written in every case, so
// that Start finds what was confirmed.
OSErr AskForParameters(const SParameterSteps& steps);

// Start's rule: when the host would show the dialog, the values confirmed
// in Parameters travel in the parameters handle, which must then hold a
// valid record. False: Start refuses with filterBadParameters.
bool StartParametersReady(const SParameterSteps& steps);
