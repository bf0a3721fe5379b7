// The About box, shared by both filters: it shows the texts of the current
// filter object (productName, versionText, copyrightText, homePage).
#pragma once

#include "hostapi/HostInterface.h"

// Modal over the host's window; returns how it was closed.
int ShowAboutBox(const AboutRecord* aboutRecord);
