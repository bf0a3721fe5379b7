// The flatting pass in the calling thread: the whole image as one band,
// reporting progress after each strip and asking for cancel between strips
// and, within a long one, every so often. It needs no thread library, so
// builds without threads (WebAssembly) run it as it is.
#pragma once

#include "engine/FlatImage.h"
#include "engine/PassHost.h"
#include "engine/PassSettings.h"
#include "engine/PixelDistance.h"

// `search` has its maxRings already set from the depth. Returns normally
// after a complete or cancelled pass; failures are exceptions.
void RunSingleThreadedPass(const SFlatImage& image, CPixelDistance& search, const SPassSettings& settings,
                           CPassHost& host);
