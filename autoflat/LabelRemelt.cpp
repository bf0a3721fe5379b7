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

ERemeltStatus RemeltLabels(const SPageArea& page, SPixelBox changed, uint32_t depth, SPixelBox& touched) {
    const int32_t width = page.pageWidth, height = page.pageHeight;
    const SPixelBox whole{0, 0, width - 1, height - 1};
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || !page.labels || !page.marks ||
        page.area.x1 < page.area.x0 || page.area.y1 < page.area.y0 || !Inside(page.area, whole) ||
        changed.x1 < changed.x0 || changed.y1 < changed.y0 || !Inside(changed, page.area))
        return ERemeltStatus::BadInput;
    const CArea area(page);
    auto needArea = [&](const SPixelBox& box) {
        // Twice as much again beyond what was found missing, so that a
        // second try rarely needs a third.
        touched = Grown(box, std::max<int32_t>(64, (box.x1 - box.x0 + box.y1 - box.y0) / 4), width, height);
        return ERemeltStatus::NeedArea;
    };

    // The strips the change lies in, and in each where the walk must begin
    // and where it may end.
    const SPixelBox rows{changed.x0, changed.y0 / kStripRows * kStripRows, changed.x1,
                         std::min(height - 1, (changed.y1 / kStripRows + 1) * kStripRows - 1)};
    if (!Inside({page.area.x0, rows.y0, page.area.x1, rows.y1}, page.area)) return needArea(rows);
    std::vector<SStripWalk> walks;
    SPixelBox walked;
    for (int32_t y0 = rows.y0; y0 <= rows.y1; y0 += kStripRows) {
        const int32_t rowCount = std::min(kStripRows, height - y0);
        auto lastOf = [&](int32_t x) { return x % 2 == 0 ? y0 + rowCount - 1 : y0; };
        auto firstOf = [&](int32_t x) { return x % 2 == 0 ? y0 : y0 + rowCount - 1; };
        int32_t first = changed.x0;
        while (first > 0 && first - 1 >= page.area.x0 && area.Line(first - 1, lastOf(first - 1))) --first;
        if (first > 0 && first - 1 < page.area.x0) return needArea({first - 1, y0, changed.x1, y0});
        // Past the change the walk ends at its first non-black pixel: from
        // there the hint is what it was.
        int32_t last = changed.x1;
        while (last + 1 < width) {
            if (last + 1 > page.area.x1) return needArea({changed.x0, y0, last + 1, y0});
            if (!area.Line(last + 1, firstOf(last + 1))) break;
            bool open = false;
            const int32_t step = (last + 1) % 2 == 0 ? 1 : -1;
            for (int32_t i = 0, y = firstOf(last + 1); i < rowCount && !open; ++i, y += step)
                open = !area.Line(last + 1, y);
            ++last;
            if (open) break;
        }
        walks.push_back({y0, rowCount, first, last});
        Include(walked, first, y0);
        Include(walked, last, y0 + rowCount - 1);
    }
    const int32_t reach =
        int32_t(std::max<uint32_t>(std::clamp<uint32_t>(depth, 1, UINT16_MAX), kPrebuiltRings));
    const SPixelBox read = Grown(walked, reach, width, height);
    if (!Inside(read, page.area)) return needArea(read);

    // The engine's view of the part it reads, in the page's coordinates.
    const int32_t readWidth = read.x1 - read.x0 + 1, readHeight = read.y1 - read.y0 + 1;
    const std::size_t readSize = std::size_t(readWidth) * std::size_t(readHeight);
    std::vector<uint32_t> in(readSize), out(readSize);
    for (int32_t y = read.y0; y <= read.y1; ++y)
        for (int32_t x = read.x0; x <= read.x1; ++x) {
            const std::size_t to = std::size_t(y - read.y0) * readWidth + (x - read.x0);
            const std::ptrdiff_t from = area.At(x, y);
            const uint32_t label = page.labels[from];
            if (page.marks[from] & kMarkLine) {
                in[to] = 0;
            } else {
                if (label > kMaxMeltLabel) return ERemeltStatus::BadInput;
                in[to] = label | kRegionMark;
            }
        }
    out = in;
    // The engine addresses pixels from the page's origin; the part begins at
    // `read`, so the origin lies before the buffer. The addresses it forms
    // are all inside it (a scan never leaves `read`).
    const std::ptrdiff_t origin = (std::ptrdiff_t(read.y0) * readWidth + read.x0) * 4;
    SFlatImage image;
    image.inData = reinterpret_cast<const uint8_t*>(reinterpret_cast<std::uintptr_t>(in.data()) - origin);
    image.outData = reinterpret_cast<uint8_t*>(reinterpret_cast<std::uintptr_t>(out.data()) - origin);
    image.inRowBytes = image.outRowBytes = readWidth * 4;
    image.inColumnBytes = image.outColumnBytes = 4;
    image.inPlaneBytes = image.outPlaneBytes = 1;
    image.width = uint16_t(width);
    image.height = uint16_t(height);
    image.planeCount = 4;
    image.isCmyk = false;
    CPixelDistance search(std::make_shared<COffsetTable>());
    search.maxRings = uint16_t(std::clamp<uint32_t>(depth, 1, UINT16_MAX));
    search.LimitGrowthToImage(width, height);
    auto local = [&](int32_t x, int32_t y) { return std::size_t(y - read.y0) * readWidth + (x - read.x0); };
    std::vector<uint8_t> visited(readSize, 0);
    for (const SStripWalk& walk : walks) {
        uint16_t hint = 1;
        for (int32_t x = walk.firstColumn; x <= walk.lastColumn; ++x) {
            const int32_t step = x % 2 == 0 ? 1 : -1;
            for (int32_t i = 0, y = step > 0 ? walk.y0 : walk.y0 + walk.rows - 1; i < walk.rows;
                 ++i, y += step) {
                if (x > changed.x1 && in[local(x, y)] != 0) break;
                visited[local(x, y)] = 1;
                FlatPixel(x, y, image, search, false, hint);
            }
        }
    }

    // The pixels the search left: new ones where the walk went, old ones
    // elsewhere. Each group of them beside the walk grows again.
    auto isLeft = [&](int32_t x, int32_t y) {
        if (x >= read.x0 && x <= read.x1 && y >= read.y0 && y <= read.y1 && visited[local(x, y)])
            return in[local(x, y)] == 0 && out[local(x, y)] == 0;
        const uint8_t mark = page.marks[area.At(x, y)];
        return (mark & kMarkLine) && (mark & kMarkLeft);
    };
    const SPixelBox near = Grown(walked, 1, width, height);
    const int32_t areaWidth = page.area.x1 - page.area.x0 + 1;
    std::vector<uint8_t> inGroup;
    std::vector<std::ptrdiff_t> group;
    SPixelBox grow;
    for (int32_t y = near.y0; y <= near.y1; ++y)
        for (int32_t x = near.x0; x <= near.x1; ++x) {
            if (!isLeft(x, y) || (!inGroup.empty() && inGroup[area.At(x, y)])) continue;
            if (inGroup.empty())
                inGroup.assign(std::size_t(areaWidth) * (page.area.y1 - page.area.y0 + 1), 0);
            std::size_t head = group.size();
            group.push_back(area.At(x, y));
            inGroup[area.At(x, y)] = 1;
            for (; head < group.size(); ++head) {
                const int32_t gx = int32_t(group[head] % areaWidth) + page.area.x0;
                const int32_t gy = int32_t(group[head] / areaWidth) + page.area.y0;
                Include(grow, gx, gy);
                const int32_t around[4][2] = {{gx + 1, gy}, {gx - 1, gy}, {gx, gy + 1}, {gx, gy - 1}};
                for (const auto& [nx, ny] : around) {
                    if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
                    if (!Inside({nx, ny, nx, ny}, page.area)) return needArea(Grown(grow, 1, width, height));
                    if (inGroup[area.At(nx, ny)] || !isLeft(nx, ny)) continue;
                    inGroup[area.At(nx, ny)] = 1;
                    group.push_back(area.At(nx, ny));
                }
            }
        }
    const SPixelBox growArea = Grown(grow, 1, width, height);
    if (!group.empty() && !Inside(growArea, page.area)) return needArea(growArea);

    // Nothing is written before this point.
    auto labelAfter = [&](int32_t x, int32_t y) {
        if (x >= read.x0 && x <= read.x1 && y >= read.y0 && y <= read.y1 && visited[local(x, y)] &&
            in[local(x, y)] == 0)
            return out[local(x, y)] & kMaxMeltLabel;
        return page.labels[area.At(x, y)];
    };
    std::vector<uint32_t> grown;
    if (!group.empty()) {
        const int32_t gw = growArea.x1 - growArea.x0 + 1, gh = growArea.y1 - growArea.y0 + 1;
        grown.resize(std::size_t(gw) * gh);
        for (int32_t y = growArea.y0; y <= growArea.y1; ++y)
            for (int32_t x = growArea.x0; x <= growArea.x1; ++x)
                grown[std::size_t(y - growArea.y0) * gw + (x - growArea.x0)] =
                    inGroup[area.At(x, y)] ? kOpen : labelAfter(x, y) + 1;
        GrowIntoOpen({gw, gh, grown.data()});
        for (const std::ptrdiff_t at : group) {
            const int32_t gx = int32_t(at % areaWidth) + page.area.x0,
                          gy = int32_t(at / areaWidth) + page.area.y0;
            // A group no label reaches stays as it was.
            const uint32_t value = grown[std::size_t(gy - growArea.y0) * gw + (gx - growArea.x0)];
            if (value != kOpen) page.labels[at] = value - 1;
            page.marks[at] |= kMarkLeft;
        }
    }
    for (int32_t y = walked.y0; y <= walked.y1; ++y)
        for (int32_t x = walked.x0; x <= walked.x1; ++x) {
            const std::size_t at = local(x, y);
            if (!visited[at] || in[at] != 0) continue;
            const std::ptrdiff_t to = area.At(x, y);
            if (out[at] != 0) {
                page.labels[to] = out[at] & kMaxMeltLabel;
                page.marks[to] = uint8_t(page.marks[to] & ~kMarkLeft);
            }
        }
    touched = walked;
    if (!group.empty()) {
        Include(touched, grow.x0, grow.y0);
        Include(touched, grow.x1, grow.y1);
    }
    return ERemeltStatus::Done;
}

}  // namespace autoflat
