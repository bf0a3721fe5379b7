// The flatting pass as this build can run it: on every processor where
// there are threads, in the calling thread where there are none
// (WebAssembly). The result is the same either way.
#pragma once

#include "engine/FlatImage.h"
#include "engine/PassHost.h"
#include "engine/PassSettings.h"

void RunApiPass(const SFlatImage& image, const SPassSettings& settings, CPassHost& host);
