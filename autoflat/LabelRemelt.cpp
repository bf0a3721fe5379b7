#include "autoflat/LabelRemelt.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "autoflat/LabelMelt.h"
#include "autoflat/RegionLabels.h"
#include "engine/FlatStrip.h"
#include "engine/PixelDistance.h"

// Why a part of the page gives the whole page's answer. The engine flats
// strips of kStripRows rows counted from the page's top, each column by
// column from the left, down one and up the next, and a black pixel's scan
// depends on three things only: the page's pixels and bounds, which are the
// page's own here (the scan reads the whole page's coordinates), and the
// hint carried from the pixel before it, which every non-black pixel and
// every strip's start reset to 1. So a walk that begins right after a
// non-black pixel, or at a strip's start, is exact from there on; and a
// pixel the walk does not reach keeps its scan, since its hint chain holds
// no changed pixel and its scan stopped at a pixel that did not change
// (every pixel that took a changed pixel's label lies in `changed`). A scan
// reads no farther than its rings, max(depth, kPrebuiltRings) on either
// axis. The pixels the search left take their label by the growth of
// GrowIntoOpen, whose outcome for one 4-connected group of such pixels
// depends on that group and the labels around it alone, in row order.

namespace autoflat {

namespace {

constexpr uint32_t kRegionMark = 0xFF000000;

bool Inside(const SPixelBox& inner, const SPixelBox& outer) {
    return inner.x0 >= outer.x0 && inner.y0 >= outer.y0 && inner.x1 <= outer.x1 && inner.y1 <= outer.y1;
}

SPixelBox Grown(const SPixelBox& box, int32_t by, int32_t width, int32_t height) {
    return {std::max(0, box.x0 - by), std::max(0, box.y0 - by), std::min(width - 1, box.x1 + by),
            std::min(height - 1, box.y1 + by)};
}

void Include(SPixelBox& box, int32_t x, int32_t y) {
    if (box.x1 < box.x0) {
        box = {x, y, x, y};
        return;
    }
    box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x), std::max(box.y1, y)};
}

// A strip's walk: its first and last column (the last maybe in part).
struct SStripWalk {
    int32_t y0, rows, firstColumn, lastColumn;
};

class CArea {
public:
    explicit CArea(const SPageArea& page) : page_(page), width_(page.area.x1 - page.area.x0 + 1) {}
    std::ptrdiff_t At(int32_t x, int32_t y) const {
        return std::ptrdiff_t(y - page_.area.y0) * width_ + (x - page_.area.x0);
    }
    bool Line(int32_t x, int32_t y) const { return page_.marks[At(x, y)] & kMarkLine; }

private:
    const SPageArea& page_;
    std::ptrdiff_t width_;
};

}  // namespace

namespace {

// One remelt, step by step: plan the strips' walks, read the part of the page
// the engine will see, walk it, find the groups of pixels its search left,
// grow them and write back. A step that finds the area too small stops the
// run with the area it needs, before anything is written.
class CRemelt {
public:
    CRemelt(const SPageArea& page, SPixelBox changed, uint32_t depth)
        : page_(page),
          area_(page),
          changed_(changed),
          depth_(uint16_t(std::clamp<uint32_t>(depth, 1, UINT16_MAX))),
          width_(page.pageWidth),
          height_(page.pageHeight),
          areaWidth_(page.area.x1 - page.area.x0 + 1) {}

    ERemeltStatus Run(SPixelBox& touched) {
        if (!PlanWalks() || !ReadPart()) {
            if (badLabel_) return ERemeltStatus::BadInput;
            touched = need_;
            return ERemeltStatus::NeedArea;
        }
        WalkStrips();
        if (!FindLeftGroups()) {
            touched = need_;
            return ERemeltStatus::NeedArea;
        }
        Write();
        touched = walked_;
        if (!group_.empty()) {
            Include(touched, grow_.x0, grow_.y0);
            Include(touched, grow_.x1, grow_.y1);
        }
        return ERemeltStatus::Done;
    }

private:
    bool NeedArea(const SPixelBox& box) {
        // Twice as much again beyond what was found missing, so that a
        // second try rarely needs a third.
        need_ = Grown(box, std::max<int32_t>(64, (box.x1 - box.x0 + box.y1 - box.y0) / 4), width_, height_);
        return false;
    }
    bool InRead(int32_t x, int32_t y) const {
        return x >= read_.x0 && x <= read_.x1 && y >= read_.y0 && y <= read_.y1;
    }
    std::size_t Local(int32_t x, int32_t y) const {
        return std::size_t(y - read_.y0) * readWidth_ + (x - read_.x0);
    }

    // The strips the change lies in, and in each where the walk must begin
    // and where it may end.
    bool PlanWalks() {
        const SPixelBox rows{changed_.x0, changed_.y0 / kStripRows * kStripRows, changed_.x1,
                             std::min(height_ - 1, (changed_.y1 / kStripRows + 1) * kStripRows - 1)};
        if (!Inside({page_.area.x0, rows.y0, page_.area.x1, rows.y1}, page_.area)) return NeedArea(rows);
        // The change itself must be held, or its marks would be read from
        // outside the caller's buffer.
        if (!Inside(changed_, page_.area)) return NeedArea(changed_);
        for (int32_t y0 = rows.y0; y0 <= rows.y1; y0 += kStripRows)
            if (!PlanStrip(y0)) return false;
        return true;
    }

    bool PlanStrip(int32_t y0) {
        const int32_t rowCount = std::min(kStripRows, height_ - y0);
        auto lastOf = [&](int32_t x) { return x % 2 == 0 ? y0 + rowCount - 1 : y0; };
        auto firstOf = [&](int32_t x) { return x % 2 == 0 ? y0 : y0 + rowCount - 1; };
        int32_t first = changed_.x0;
        while (first > 0 && first - 1 >= page_.area.x0 && area_.Line(first - 1, lastOf(first - 1))) --first;
        if (first > 0 && first - 1 < page_.area.x0) return NeedArea({first - 1, y0, changed_.x1, y0});
        // Past the change the walk ends at its first non-black pixel: from
        // there the hint is what it was.
        int32_t last = changed_.x1;
        while (last + 1 < width_) {
            if (last + 1 > page_.area.x1) return NeedArea({changed_.x0, y0, last + 1, y0});
            if (!area_.Line(last + 1, firstOf(last + 1))) break;
            bool open = false;
            const int32_t step = (last + 1) % 2 == 0 ? 1 : -1;
            for (int32_t i = 0, y = firstOf(last + 1); i < rowCount && !open; ++i, y += step)
                open = !area_.Line(last + 1, y);
            ++last;
            if (open) break;
        }
        walks_.push_back({y0, rowCount, first, last});
        Include(walked_, first, y0);
        Include(walked_, last, y0 + rowCount - 1);
        return true;
    }

    // The engine's view of the part it reads, in the page's coordinates.
    bool ReadPart() {
        const int32_t reach = int32_t(std::max<uint32_t>(depth_, kPrebuiltRings));
        read_ = Grown(walked_, reach, width_, height_);
        if (!Inside(read_, page_.area)) return NeedArea(read_);
        readWidth_ = read_.x1 - read_.x0 + 1;
        const std::size_t readSize = std::size_t(readWidth_) * std::size_t(read_.y1 - read_.y0 + 1);
        in_.resize(readSize);
        for (int32_t y = read_.y0; y <= read_.y1; ++y)
            for (int32_t x = read_.x0; x <= read_.x1; ++x) {
                const std::ptrdiff_t from = area_.At(x, y);
                const uint32_t label = page_.labels[from];
                if (page_.marks[from] & kMarkLine) {
                    in_[Local(x, y)] = 0;
                } else {
                    if (label > kMaxMeltLabel) {
                        badLabel_ = true;
                        return false;
                    }
                    in_[Local(x, y)] = label | kRegionMark;
                }
            }
        out_ = in_;
        visited_.assign(readSize, 0);
        return true;
    }

    void WalkStrips() {
        // The engine addresses pixels from the page's origin; the part begins
        // at `read_`, so the origin lies before the buffer. The addresses it
        // forms are all inside it (a scan never leaves `read_`).
        const std::ptrdiff_t origin = (std::ptrdiff_t(read_.y0) * readWidth_ + read_.x0) * 4;
        SFlatImage image;
        image.inData =
            reinterpret_cast<const uint8_t*>(reinterpret_cast<std::uintptr_t>(in_.data()) - origin);
        image.outData = reinterpret_cast<uint8_t*>(reinterpret_cast<std::uintptr_t>(out_.data()) - origin);
        image.inRowBytes = image.outRowBytes = readWidth_ * 4;
        image.inColumnBytes = image.outColumnBytes = 4;
        image.inPlaneBytes = image.outPlaneBytes = 1;
        image.width = uint16_t(width_);
        image.height = uint16_t(height_);
        image.planeCount = 4;
        image.isCmyk = false;
        CPixelDistance search(std::make_shared<COffsetTable>());
        search.maxRings = depth_;
        search.LimitGrowthToImage(width_, height_);
        for (const SStripWalk& walk : walks_) {
            uint16_t hint = 1;
            for (int32_t x = walk.firstColumn; x <= walk.lastColumn; ++x) {
                const int32_t step = x % 2 == 0 ? 1 : -1;
                for (int32_t i = 0, y = step > 0 ? walk.y0 : walk.y0 + walk.rows - 1; i < walk.rows;
                     ++i, y += step) {
                    if (x > changed_.x1 && in_[Local(x, y)] != 0) break;
                    visited_[Local(x, y)] = 1;
                    FlatPixel(x, y, image, search, false, hint);
                }
            }
        }
    }

    // A pixel the search left: a new one where the walk went, an old one
    // elsewhere.
    bool IsLeft(int32_t x, int32_t y) const {
        if (InRead(x, y) && visited_[Local(x, y)]) return in_[Local(x, y)] == 0 && out_[Local(x, y)] == 0;
        const uint8_t mark = page_.marks[area_.At(x, y)];
        return (mark & kMarkLine) && (mark & kMarkLeft);
    }

    // Each group of left pixels beside the walk grows again.
    bool FindLeftGroups() {
        const SPixelBox near = Grown(walked_, 1, width_, height_);
        for (int32_t y = near.y0; y <= near.y1; ++y)
            for (int32_t x = near.x0; x <= near.x1; ++x) {
                if (!IsLeft(x, y) || (!inGroup_.empty() && inGroup_[area_.At(x, y)])) continue;
                if (inGroup_.empty())
                    inGroup_.assign(std::size_t(areaWidth_) * (page_.area.y1 - page_.area.y0 + 1), 0);
                if (!TakeGroup(x, y)) return false;
            }
        growArea_ = Grown(grow_, 1, width_, height_);
        if (!group_.empty() && !Inside(growArea_, page_.area)) return NeedArea(growArea_);
        return true;
    }

    bool TakeGroup(int32_t x, int32_t y) {
        std::size_t head = group_.size();
        group_.push_back(area_.At(x, y));
        inGroup_[area_.At(x, y)] = 1;
        for (; head < group_.size(); ++head) {
            const int32_t gx = int32_t(group_[head] % areaWidth_) + page_.area.x0;
            const int32_t gy = int32_t(group_[head] / areaWidth_) + page_.area.y0;
            Include(grow_, gx, gy);
            const int32_t around[4][2] = {{gx + 1, gy}, {gx - 1, gy}, {gx, gy + 1}, {gx, gy - 1}};
            for (const auto& [nx, ny] : around) {
                if (nx < 0 || ny < 0 || nx >= width_ || ny >= height_) continue;
                if (!Inside({nx, ny, nx, ny}, page_.area)) return NeedArea(Grown(grow_, 1, width_, height_));
                if (inGroup_[area_.At(nx, ny)] || !IsLeft(nx, ny)) continue;
                inGroup_[area_.At(nx, ny)] = 1;
                group_.push_back(area_.At(nx, ny));
            }
        }
        return true;
    }

    uint32_t LabelAfter(int32_t x, int32_t y) const {
        if (InRead(x, y) && visited_[Local(x, y)] && in_[Local(x, y)] == 0)
            return out_[Local(x, y)] & kMaxMeltLabel;
        return page_.labels[area_.At(x, y)];
    }

    // Nothing is written before this point.
    void Write() {
        if (!group_.empty()) GrowGroups();
        for (int32_t y = walked_.y0; y <= walked_.y1; ++y)
            for (int32_t x = walked_.x0; x <= walked_.x1; ++x) {
                const std::size_t at = Local(x, y);
                if (!visited_[at] || in_[at] != 0) continue;
                const std::ptrdiff_t to = area_.At(x, y);
                if (out_[at] != 0) {
                    page_.labels[to] = out_[at] & kMaxMeltLabel;
                    page_.marks[to] = uint8_t(page_.marks[to] & ~kMarkLeft);
                }
            }
    }

    void GrowGroups() {
        const int32_t gw = growArea_.x1 - growArea_.x0 + 1, gh = growArea_.y1 - growArea_.y0 + 1;
        std::vector<uint32_t> grown(std::size_t(gw) * gh);
        for (int32_t y = growArea_.y0; y <= growArea_.y1; ++y)
            for (int32_t x = growArea_.x0; x <= growArea_.x1; ++x)
                grown[std::size_t(y - growArea_.y0) * gw + (x - growArea_.x0)] =
                    inGroup_[area_.At(x, y)] ? kOpen : LabelAfter(x, y) + 1;
        GrowIntoOpen({gw, gh, grown.data()});
        for (const std::ptrdiff_t at : group_) {
            const int32_t gx = int32_t(at % areaWidth_) + page_.area.x0,
                          gy = int32_t(at / areaWidth_) + page_.area.y0;
            // A group no label reaches stays as it was.
            const uint32_t value = grown[std::size_t(gy - growArea_.y0) * gw + (gx - growArea_.x0)];
            if (value != kOpen) page_.labels[at] = value - 1;
            page_.marks[at] |= kMarkLeft;
        }
    }

    const SPageArea& page_;
    const CArea area_;
    const SPixelBox changed_;
    const uint16_t depth_;
    const int32_t width_, height_, areaWidth_;
    SPixelBox need_;
    bool badLabel_ = false;
    std::vector<SStripWalk> walks_;
    SPixelBox walked_, read_, grow_, growArea_;
    int32_t readWidth_ = 0;
    std::vector<uint32_t> in_, out_;
    std::vector<uint8_t> visited_, inGroup_;
    std::vector<std::ptrdiff_t> group_;
};

}  // namespace

ERemeltStatus RemeltLabels(const SPageArea& page, SPixelBox changed, uint32_t depth, SPixelBox& touched) {
    const SPixelBox whole{0, 0, page.pageWidth - 1, page.pageHeight - 1};
    if (page.pageWidth <= 0 || page.pageHeight <= 0 || page.pageWidth > kMaxSide ||
        page.pageHeight > kMaxSide || !page.labels || !page.marks || page.area.x1 < page.area.x0 ||
        page.area.y1 < page.area.y0 || !Inside(page.area, whole) || changed.x1 < changed.x0 ||
        changed.y1 < changed.y0 || !Inside(changed, whole))
        return ERemeltStatus::BadInput;
    return CRemelt(page, changed, depth).Run(touched);
}

}  // namespace autoflat
