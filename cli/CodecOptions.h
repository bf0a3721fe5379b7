// How a page's file is read or written, besides its format: the effort
// spent on compression, the threads it may use, and where its progress goes.
#pragma once

#include <functional>

namespace cli {

struct SCodecOptions {
    bool smallest = false;  // the smallest file the format's usual settings give, however slow
    int threads = 1;
    // The share of the file read or written so far, 0 to 1, from the
    // calling thread.
    std::function<void(double)> progress;

    void Report(double done) const {
        if (progress) progress(done);
    }
};

}  // namespace cli
