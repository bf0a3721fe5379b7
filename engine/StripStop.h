// How a pass leaves a strip before its end. Strips are the pass's unit of
// progress and cancel, but at large depths on nearly black pages one strip
// can take minutes; the walk asks between columns whether to leave it, and a
// strip left so is undone and not counted.
#pragma once

class CStripStop {
public:
    virtual ~CStripStop() = default;
    // Asked on the walking thread before each column.
    virtual bool LeaveStrip() = 0;
};
