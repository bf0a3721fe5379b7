// What a flatting pass needs from the filter that runs it. The filter object
// implements it; tests implement it without any host.
#pragma once

#include <cstdint>

class CPassHost {
public:
    virtual ~CPassHost() = default;

    // Host's thread only.
    virtual void ReportProgress(int32_t done) = 0;
    virtual bool TestAbort() = 0;

    // Workers' shared progress counter; AddRowsDone may be called from any
    // worker, RowsDone is read by the host's thread.
    virtual void AddRowsDone(int32_t rows) = 0;
    virtual int32_t RowsDone() const = 0;
};
