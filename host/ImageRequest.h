// How Start asks the host for the whole image and finds its pixels again.
#pragma once

#include "engine/FlatImage.h"
#include "hostapi/HostInterface.h"

// Planes the pass reads and writes: the layer cases count only the colour
// planes, so the transparency plane is never touched.
int16_t PlaneCount(const FilterRecord& record);

struct SImageSteps {
    int32_t inColumnBytes;
    int32_t inPlaneBytes;
    int32_t outColumnBytes;
    int32_t outPlaneBytes;
};

// Writes the request fields (plane fields, outRect, inRect) for the whole
// image and takes the steps as they stand before advanceState is called.
SImageSteps RequestWholeImage(FilterRecord& record, int16_t planeCount);

// The steps of the buffers advanceState delivered: the record's as the host
// left them, or those taken before the call where it left none. A host may
// announce steps for another plane count than the one it then delivers.
SImageSteps DeliveredSteps(const FilterRecord& record, const SImageSteps& announced);

// The image as advanceState delivered it, addressed with the steps taken
// before the call.
SFlatImage DeliveredImage(const FilterRecord& record, const SImageSteps& steps, int16_t planeCount);
