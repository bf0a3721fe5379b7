// Temporary seams until the dialogs land.
#include "host/VandrelFilter.h"

bool CVandrelFilter::RunParamsDialog() { return true; }
int CVandrelFilter::ShowAboutBox() { return 0; }
