// The flatting pass in the calling thread: strip after strip, reporting
// progress after each strip and asking for cancel between strips and,
// within a long one, every so often. It needs no thread library,
// so builds without threads (WebAssembly) run it as it is.
#pragma once

#include "engine/AssistedStrips.h"
#include "engine/FlatImage.h"
#include "engine/PassHost.h"
#include "engine/PixelDistance.h"
#include "ui/VandrelParams.h"

// `search` has its maxRings already set from the depth; its growth is
// limited here to the image. Returns after a complete or cancelled pass.
void RunSingleThreadedPass(const SFlatImage& image, CPixelDistance& search, const CVandrelParams& params,
                           CPassHost& host, EFlatMethod method);
