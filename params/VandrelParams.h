// The filter's two user parameters, as one small record.
#pragma once

#include <cstdint>

#include "resources/PluginCodes.h"

constexpr uint16_t kParamsVersion = 1;
constexpr uint16_t kDefaultMaxDepth = 256;
constexpr char kPaintWhite = 'W';
constexpr char kLeaveBlack = 'B';

struct _SVandrelParams {
    uint32_t signature;
    uint16_t version;
    uint8_t reserved;
    uint16_t maxDepth;
    char remainder;
};

class CVandrelParams : public _SVandrelParams {
public:
    CVandrelParams() { ResetParams(); }
    CVandrelParams(const CVandrelParams&) = default;
    CVandrelParams& operator=(const CVandrelParams&) = default;
    virtual ~CVandrelParams() = default;

    void ResetParams() {
        signature = kPluginCode;
        version = kParamsVersion;
        reserved = 0;
        maxDepth = kDefaultMaxDepth;
        remainder = kLeaveBlack;
    }

    bool IsValid() const { return version == kParamsVersion && signature == kPluginCode; }

    // Only an exact 'W' paints white: a handle block or the preferences file
    // may bring in any character, and everything else means leave black.
    bool PaintsWhite() const { return remainder == kPaintWhite; }
};
