// Temporary seams until the parameter exchange, preferences and dialogs land.
#include "host/VandrelFilter.h"

bool CVandrelFilter::ReadScriptParams(CVandrelParams&) { return false; }
void CVandrelFilter::WriteScriptParams(const CVandrelParams&) {}
bool CVandrelFilter::LoadHandleParams(CVandrelParams&) { return true; }
void CVandrelFilter::StoreHandleParams(const CVandrelParams&) {}
void CVandrelFilter::LoadPrefs() {}
void CVandrelFilter::SavePrefs() {}
bool CVandrelFilter::RunParamsDialog() { return true; }
int CVandrelFilter::ShowAboutBox() { return 0; }
