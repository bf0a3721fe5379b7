// The one filter class of the plug-in: the state of one filter run.
#pragma once

#include <boost/thread/mutex.hpp>

#include "engine/PassHost.h"
#include "engine/PixelDistance.h"
#include "host/PSFilter.h"
#include "host/ParameterSteps.h"
#include "params/VandrelParams.h"

class CVandrelFilter : public CPSFilter, public CPassHost {
public:
    CVandrelFilter();
    ~CVandrelFilter() override;

    OSErr About() override;
    OSErr Parameters() override;
    OSErr Prepare() override;
    OSErr Start() override;

    // Progress and cancel, towards the host (host's thread only).
    void ReportProgress(int32_t done) override;
    bool TestAbort() override;

    // The workers' shared row counter.
    void AddRowsDone(int32_t rows) override;
    int32_t RowsDone() const override;

    // Parameter sources. Each reaches the host through filterRecord.
    bool ReadScriptParams(CVandrelParams& record);
    void WriteScriptParams(const CVandrelParams& record);
    bool LoadHandleParams(CVandrelParams& record);
    void StoreHandleParams(const CVandrelParams& record);
    void LoadPrefs();
    void SavePrefs();
    bool RunParamsDialog();
    int ShowAboutBox();

    CPixelDistance search;
    int32_t rowsDone = 0;
    mutable boost::mutex progressMutex;
    CVandrelParams params;

private:
    // The parameter sources above, for the steps both filters share.
    SParameterSteps ParameterSteps();
    static bool CanFlat(const FilterRecord& record);
    OSErr FlatDeliveredImage();
};
