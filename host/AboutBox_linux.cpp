// The About box on Linux, for either filter: the scripted answer stands in
// for the user.
#include "host/AboutBox.h"
#include "ui/linux/DialogScript.h"

int ShowAboutBox(const AboutRecord*) {
    return headless::AnswerAboutBox(headless::DialogScriptFromEnvironment());
}
