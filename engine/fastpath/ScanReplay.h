// A black pixel's nearest-colour scan worked out from the image's edges:
// where it stops, and whether on a colour, at the depth or by giving up at
// the border, without walking the long stretches of the order in which it
// cannot give up. The scans this is for are those a pixel's distance alone
// does not settle: scans that reach two opposite edges, which on mostly
// black pages at large depths would otherwise walk about 2πd offsets, or a
// whole annulus of them, per pixel. The rules it follows, and why each is
// exact, head FastPathStrips.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "engine/OffsetOrder.h"
#include "engine/fastpath/RingSkip.h"
#include "engine/fastpath/RingStore.h"
#include "engine/fastpath/SafeStretch.h"

// How the scan ended, and what the pass takes from it.
struct SReplayedScan {
    enum class EEnd { Undecided, Found, TooDeep, GaveUp };
    EEnd end = EEnd::Undecided;
    // Found: the colour's offset. GaveUp: the last pixel the scan read, (0, 0)
    // for the pixel itself.
    int32_t dx = 0, dy = 0;
    uint32_t hint = 0;        // what the scan leaves in hintDistance
    uint64_t lastDistSq = 0;  // where it ended in the order
};

// Answers for offsets at the nearest colour's distance, inside the image.
struct SReplayColours {
    virtual bool IsColour(int32_t dx, int32_t dy) = 0;

protected:
    ~SReplayColours() = default;
};

class CScanReplay {
public:
    // The scan of the black pixel (x, y) from hint G (the pass's start,
    // G >= 1) by a search that covers `reach` rings, with the nearest colour
    // at distance² distSq (anything above reach² meaning none within
    // reach). Undecided when the replay cannot vouch for the result (a hint
    // past the colour or the reach, or a distance that does not match the
    // image); the caller then scans.
    SReplayedScan Replay(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t hint, uint32_t reach,
                         uint64_t distSq, SReplayColours& colours);

    // The rings the replay keeps, which the shortcut reads too.
    std::span<const SOffsetGroup> GroupsAt(uint64_t distSq) { return rings_.GroupsAt(distSq); }
    void Prefetch(uint32_t distSq, bool groups) { rings_.Prefetch(distSq, groups); }

private:
    struct SScan;
    SRingPos StartOf(uint32_t hint);
    void TakeFromEarlier(SScan& s);
    void Prepare(SScan& s);
    bool StepOver(SScan& s, const SOffsetGroup& g);
    std::optional<SReplayedScan> ColourGroup(SScan& s, const SOffsetGroup& g, SReplayColours& colours);
    SReplayedScan Ended(const SScan& s, SReplayedScan::EEnd end, const SOffsetGroup& g, int position) const;

    CRingStore rings_;
    CRingSkip skip_{rings_};

    // What a scan leaves for the next (rule 7): the last place it resumed
    // at, past everything it stepped over and walked, with its hint and the
    // margins it did so under. Down a column the scans mostly step over what
    // the scan before stepped over. hint 0: none.
    struct SResumed {
        uint32_t hint = 0;
        int64_t margin[4] = {};
        SRingPos resume{};
        uint64_t resumeDistSq = 0;
    };
    SResumed resumed_;
};
