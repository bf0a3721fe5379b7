// What a flatter fills as one flat although the line art parts it: rules
// that join regions after small ones fold, each judged on the regions as gap
// closing made them (before the melt) and their borders after it. Joins are
// made between regions, never pixels, so the melt stays the engine's pass on
// the joined regions, and a hinted region takes in only regions without a
// hint or hinted alike.
//
// Page edge. Two regions next to each other along the page's edge, with no
// line art between them there, were parted only by gap closing, where the
// drawing comes closer to the edge than the gap: they are one.
//
// Strips. A strip is a region at least kStripElongation times as large as
// the square of its deepest point's distance from the line art (a 5:1
// rectangle and anything longer and narrower) with at most kStripNeighbours
// neighbours (paper running between many shapes is no strip). A strip joins every strip
// beside it along its long sides (a border after the melt at least half its
// longest) when gap closing closed both off against the same region or
// against each other: the wedges between speed lines whose tips crowd, the
// bands between hatching. Bands the ink encloses all round (a striped
// sleeve) and strips on either side of a closed outline stay apart.
// A region whose border after the melt is at least three quarters with
// strips, closed off against at least kTipsAround of them (what their
// crowding tips closed off; a line cut by a gap seals one or two), joins
// every strip, or run of joined strips, it shares a seam of at least half a
// gap with.
//
// Strips that a balloon, its tail or a figure cuts off the burst join it
// when they lie beside its strips along their long sides and either rest on
// the same frame (the gutter, or the page's edge) or are closed off at their
// other end by the burst's tips.
//
// Counters. A counter is a region that the line art encloses all round
// (gap closing parted it from nothing), away from the page's edge, no deeper
// than the gap, no strip, and at most kCounterInk times the line art it melts into
// (letters are drawn thick for their size; a drawn ring or an eye's outline
// holds more paper for its ink); its neighbours after the melt, other
// counters aside, are one region, around which at least kLettersAround such
// counters lie (a word, not a face's two eyes), and no strip (paper between
// speed lines or hatching is no letter's). Counters join that region.
// Paper among the letters of lines of lettering that gap closing parted
// from one region only, and from nothing else, counts as a counter that
// must join that same region.
#pragma once

#include <cstddef>
#include <cstdint>

namespace autoflat {

constexpr uint64_t kStripElongation = 20;
constexpr size_t kStripNeighbours = 6;
constexpr uint32_t kTipsAround = 4;
constexpr uint64_t kCounterInk = 4;
constexpr uint32_t kLettersAround = 4;

}  // namespace autoflat
