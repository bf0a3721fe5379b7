// Where Vandrel Auto Flats keeps its record: the host's parameters handle,
// the host's action descriptors and a preferences file of its own. Each
// behaves as its Vandrel Pro counterpart does (HandleParams.h,
// ScriptParams.h, Prefs.h), so hosts see one plug-in maker's habits.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "hostapi/HostInterface.h"
#include "params/AutoFlatsParams.h"
#include "resources/AutoFlatsInfo.h"

// The parameters handle's block, little-endian whatever the machine:
// signature at 0, version at 4, maxGap at 6, minRegion at 8, spotBlacks at
// 12; bytes 13 to 15 are reserved and neither written nor read.
constexpr int32_t kAutoFlatsBlockSize = 16;
void EncodeAutoFlatsBlock(const _SAutoFlatsParams& params, uint8_t* block);
void DecodeAutoFlatsBlock(const uint8_t* block, _SAutoFlatsParams& params);
// True when there is a handle holding a valid record; an invalid or short
// block resets the record, no handle leaves it unchanged.
bool LoadAutoFlatsHandle(const FilterRecord& record, CAutoFlatsParams& params);
void StoreAutoFlatsHandle(FilterRecord& record, const _SAutoFlatsParams& params);

// Takes the descriptor's values into the record; says whether the dialog is
// to be shown.
bool ReadAutoFlatsScript(FilterRecord& record, CAutoFlatsParams& params);
void WriteAutoFlatsScript(FilterRecord& record, const CAutoFlatsParams& params);

constexpr char kAutoFlatsPrefsFileName[] = AUTOFLATS_PRODUCT_NAME " Prefs";
// Signature, version, gap, smallest region and spot blacks, each followed by
// one space. An invalid record read is reset.
void WriteAutoFlatsPrefs(std::ostream& out, const _SAutoFlatsParams& params);
void ReadAutoFlatsPrefs(std::istream& in, CAutoFlatsParams& params);
// The file in the preferences folder; every failure is silent.
void LoadAutoFlatsPrefsFile(CAutoFlatsParams& params) noexcept;
void SaveAutoFlatsPrefsFile(const _SAutoFlatsParams& params) noexcept;
