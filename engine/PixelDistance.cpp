#include "engine/PixelDistance.h"

CPixelDistance::CPixelDistance() {}
void CPixelDistance::SetCentre(int32_t, int32_t, int32_t, int32_t) {}
void CPixelDistance::AddRing() {}
bool CPixelDistance::FirstCandidate(uint32_t, int32_t&, int32_t&) { return false; }
bool CPixelDistance::NextCandidate(int32_t&, int32_t&) { return false; }
