// The flatting pass over a delivered image: in the host's thread when the
// machine has one processor, else on worker threads.
#pragma once

#include "engine/FlatImage.h"
#include "engine/PassHost.h"
#include "engine/PassSettings.h"
#include "engine/PixelDistance.h"

// Flats `image` in place of the host's output buffer. `search` serves the
// single-threaded pass only (its maxRings already set from the depth, its
// growth limited here to the image); workers build their own. Returns
// normally after a complete or cancelled pass; failures are exceptions,
// thrown only once no worker is left running.
void RunFlatPass(const SFlatImage& image, CPixelDistance& search, const SPassSettings& settings,
                 CPassHost& host, int processorCount);
