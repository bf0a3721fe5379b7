#include "host/ParameterSteps.h"

OSErr AskForParameters(const SParameterSteps& steps) {
    OSErr result = host::noErr;
    steps.loadPrefs();
    if (steps.readScript()) {
        if (steps.runDialog())
            steps.savePrefs();
        else
            result = host::userCanceledErr;
    }
    steps.storeHandle();
    return result;
}

bool StartParametersReady(const SParameterSteps& steps) { return !steps.readScript() || steps.loadHandle(); }
