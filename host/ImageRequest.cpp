#include "host/ImageRequest.h"

int16_t PlaneCount(const FilterRecord& record) {
    if (record.filterCase <= host::filterCaseFlatImageWithSelection) return record.planes;
    return record.outLayerPlanes != 0 ? record.outLayerPlanes : record.planes;
}

SImageSteps RequestWholeImage(FilterRecord& record, int16_t planeCount) {
    record.inLoPlane = 0;
    record.inHiPlane = int16_t(planeCount - 1);
    record.outLoPlane = 0;
    record.outHiPlane = int16_t(planeCount - 1);
    const Rect whole{0, 0, record.imageSize.v, record.imageSize.h};
    record.outRect = whole;
    record.inRect = whole;

    SImageSteps steps;
    steps.inColumnBytes = record.inColumnBytes != 0 ? record.inColumnBytes : planeCount;
    steps.inPlaneBytes = record.inPlaneBytes != 0 ? record.inPlaneBytes : 1;
    steps.outColumnBytes = record.outColumnBytes != 0 ? record.outColumnBytes : planeCount;
    steps.outPlaneBytes = record.outPlaneBytes != 0 ? record.outPlaneBytes : 1;
    return steps;
}

SImageSteps DeliveredSteps(const FilterRecord& record, const SImageSteps& announced) {
    auto given = [](int32_t step, int32_t before) { return step != 0 ? step : before; };
    return {given(record.inColumnBytes, announced.inColumnBytes),
            given(record.inPlaneBytes, announced.inPlaneBytes),
            given(record.outColumnBytes, announced.outColumnBytes),
            given(record.outPlaneBytes, announced.outPlaneBytes)};
}

SFlatImage DeliveredImage(const FilterRecord& record, const SImageSteps& steps, int16_t planeCount) {
    SFlatImage image;
    image.inData = static_cast<const uint8_t*>(record.inData);
    image.inRowBytes = record.inRowBytes;
    image.inColumnBytes = steps.inColumnBytes;
    image.inPlaneBytes = steps.inPlaneBytes;
    image.outData = static_cast<uint8_t*>(record.outData);
    image.outRowBytes = record.outRowBytes;
    image.outColumnBytes = steps.outColumnBytes;
    image.outPlaneBytes = steps.outPlaneBytes;
    image.width = uint16_t(record.inRect.right);
    image.height = uint16_t(record.inRect.bottom);
    image.planeCount = uint16_t(planeCount);
    image.isCmyk = record.imageMode == host::plugInModeCMYKColor;
    return image;
}
