// How a page's file is read or written, besides its format: the effort
// spent on compression, the threads it may use, and where its progress goes.
#pragma once

#include <cstdint>
#include <functional>

namespace cli {

struct SCodecOptions {
    bool smallest = false;  // the smallest file the format's usual settings give, however slow
    int threads = 1;
    // Ctrl-C stops the work between rows, as a failure "interrupted". A
    // batch finishing the page before while the next is flatted clears it:
    // a page already flatted is written whole.
    bool heedInterrupt = true;
    // The share of the file read or written so far, 0 to 1, from the
    // calling thread.
    std::function<void(double)> progress;
    // Line art for auto flats rather than a page to flat: grayscale (kept
    // gray), 1-bit and palette (made 8-bit), and 16-bit samples (reduced
    // to 8) are read too, where flatting refuses them.
    bool lineArt = false;
    // What working on a page of this size and layout (decoded) takes in
    // all, checked before its pixels are allocated; empty: flatting's own
    // need (ImageLimits.h).
    std::function<uint64_t(uint32_t width, uint32_t height, int planes, bool hasAlpha)> pageNeed;

    void Report(double done) const {
        if (progress) progress(done);
    }
};

}  // namespace cli
