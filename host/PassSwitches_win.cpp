#include "host/PassSwitches.h"

// A plug-in a user installs takes no instructions from the environment.
SPassSwitches ReadPassSwitches() { return {}; }
