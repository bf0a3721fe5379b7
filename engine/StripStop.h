// How a pass leaves a strip before its end. Strips are the pass's unit of
// progress and cancel, but at large depths on nearly black pages one strip
// can take minutes, and one pixel's scan a good part of a second; the walk
// asks between pixels whether to leave, and a strip left so is undone and
// not counted.
#pragma once

// How long a strip may run on once a cancel is known (or, in the host's
// thread, between two questions to the host) before it is left unfinished:
// undone, and not counted.
constexpr int kStripGraceMs = 500;

class CStripStop {
public:
    virtual ~CStripStop() = default;

    // Asked on the walking thread before each pixel; cheap, since it looks
    // only every kPixelsPerLook pixels.
    bool LeaveStrip() {
        if (--countdown_ > 0) return false;
        countdown_ = kPixelsPerLook;
        return Look();
    }

protected:
    virtual bool Look() = 0;

private:
    static constexpr int kPixelsPerLook = 64;
    int countdown_ = kPixelsPerLook;
};
