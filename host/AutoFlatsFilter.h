// Vandrel Auto Flats' filter class: the state of one run of the second
// filter, which turns the target layer's line art (and the hint colours
// painted on it) into flats.
#pragma once

#include "host/PSFilter.h"
#include "host/ParameterSteps.h"
#include "params/AutoFlatsParams.h"

class CAutoFlatsFilter : public CPSFilter {
public:
    CAutoFlatsFilter();

    OSErr About() override;
    OSErr Parameters() override;
    OSErr Prepare() override;
    OSErr Start() override;

    bool RunParamsDialog();

    CAutoFlatsParams params;

private:
    // Where this filter's record travels, for the steps both filters share.
    SParameterSteps ParameterSteps();
    static bool CanAutoFlat(const FilterRecord& record);
    OSErr AutoFlatDeliveredImage();
};
