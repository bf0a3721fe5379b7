// Vandrel Auto Flats' three user parameters, as one small record.
#pragma once

#include <cstdint>

#include "resources/AutoFlatsCodes.h"

constexpr uint16_t kAutoFlatsParamsVersion = 1;
constexpr uint16_t kDefaultMaxGap = 0;     // chosen from the page's size
constexpr uint32_t kDefaultMinRegion = 0;  // chosen from the gap
constexpr char kSpotBlacksRegions = 'R';
constexpr char kSpotBlacksLines = 'L';

struct _SAutoFlatsParams {
    uint32_t signature;
    uint16_t version;
    uint16_t maxGap;
    uint32_t minRegion;
    char spotBlacks;
};

class CAutoFlatsParams : public _SAutoFlatsParams {
public:
    CAutoFlatsParams() { ResetParams(); }

    void ResetParams() {
        signature = kAutoFlatsCode;
        version = kAutoFlatsParamsVersion;
        maxGap = kDefaultMaxGap;
        minRegion = kDefaultMinRegion;
        spotBlacks = kSpotBlacksRegions;
    }

    bool IsValid() const { return version == kAutoFlatsParamsVersion && signature == kAutoFlatsCode; }

    // Only an exact 'L' makes spot blacks lines: a handle block or the
    // preferences file may bring in any character, and regions are the
    // choice that loses nothing.
    bool SpotBlacksAreRegions() const { return spotBlacks != kSpotBlacksLines; }
};
