// Ink specks hidden from gap closing, and what gap closing left measured per
// region. A screentone's dots stand closer than a gap, so without this every
// pixel of the tone lies near "line art", no core forms inside it, and the
// tone goes to whichever region's growth reaches each part first: a straight
// seam across the tone where two growths meet.
#include <algorithm>
#include <mutex>

#include "autoflat/PageStages.h"
#include "autoflat/Workers.h"

namespace autoflat {

namespace {

struct SBox {
    uint16_t x0 = UINT16_MAX, y0 = UINT16_MAX, x1 = 0, y1 = 0;
};

// 8-connected components of the line pixels, provisional numbers from 1 in
// `out` (0 elsewhere) joined in `parent`; diagonal steps count, so a thin
// aliased diagonal line stays one component, never a row of specks. False
// when the page holds more than `limit` of them (noise, not ink).
bool InkComponents(const SPageRun& run, uint32_t* out, std::vector<uint32_t>& parent, uint64_t limit) {
    const int64_t w = run.width;
    parent.assign(1, 0);
    for (int64_t y = 0; y < run.height; ++y) {
        const uint32_t* labels = run.labels.data() + y * w;
        uint32_t* row = out + y * w;
        const uint32_t* above = y > 0 ? row - w : nullptr;
        for (int64_t x = 0; x < w; ++x) {
            if (labels[x] != kLine) {
                row[x] = 0;
                continue;
            }
            uint32_t near[4] = {x > 0 ? row[x - 1] : 0u, above && x > 0 ? above[x - 1] : 0u,
                                above ? above[x] : 0u, above && x + 1 < w ? above[x + 1] : 0u};
            uint32_t root = 0;
            for (uint32_t& n : near) {
                if (n == 0) continue;
                n = label_detail::Root(parent, n);
                root = root == 0 ? n : std::min(root, n);
            }
            if (root == 0) {
                if (parent.size() > limit) return false;
                root = uint32_t(parent.size());
                parent.push_back(root);
            }
            for (const uint32_t n : near)
                if (n != 0) parent[n] = root;
            row[x] = root;
        }
    }
    return true;
}

}  // namespace

void HideTexture(SPageRun& run) {
    run.texture.clear();
    if (run.settings.textureClosesGaps || run.result.linePixels == 0) return;
    // Specks up to half a gap across: a gap that such a speck would narrow
    // is still closed by the lines around it, and a line cut short by two
    // gaps is longer than a gap.
    const int64_t speck = std::max<int64_t>(1, run.gap / 2);
    std::vector<uint32_t>& ink = run.distance;  // free until the distances are measured
    std::vector<uint32_t> parent;
    if (!InkComponents(run, ink.data(), parent, 4 * RegionLimit(run.width, run.height))) return;
    for (uint32_t c = 1; c < parent.size(); ++c) parent[c] = label_detail::Root(parent, c);
    // Each band of rows boxes the components it holds; the boxes join.
    std::vector<SBox> boxes(parent.size());
    std::mutex boxesLock;
    ForEachPart(run.workers, run.height, 64, [&](int64_t y0, int64_t y1) {
        std::vector<SBox> part(parent.size());
        for (int64_t y = y0; y < y1; ++y)
            for (int64_t x = 0; x < run.width; ++x) {
                const uint32_t c = ink[size_t(y * run.width + x)];
                if (c == 0) continue;
                SBox& box = part[parent[c]];
                box.x0 = std::min(box.x0, uint16_t(x));
                box.x1 = std::max(box.x1, uint16_t(x));
                box.y0 = std::min(box.y0, uint16_t(y));
                box.y1 = std::max(box.y1, uint16_t(y));
            }
        std::lock_guard<std::mutex> guard(boxesLock);
        for (size_t c = 0; c < part.size(); ++c) {
            boxes[c].x0 = std::min(boxes[c].x0, part[c].x0);
            boxes[c].x1 = std::max(boxes[c].x1, part[c].x1);
            boxes[c].y0 = std::min(boxes[c].y0, part[c].y0);
            boxes[c].y1 = std::max(boxes[c].y1, part[c].y1);
        }
    });
    std::vector<uint8_t> small(parent.size(), 0);
    bool any = false;
    for (uint32_t c = 1; c < parent.size(); ++c) {
        const SBox& box = boxes[parent[c]];
        small[c] = box.x1 >= box.x0 && box.x1 - box.x0 < speck && box.y1 - box.y0 < speck;
        any = any || small[c];
    }
    if (!any) return;
    run.texture.assign(size_t(run.size), 0);
    ForEachPart(run.workers, run.size, 4096, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            if (!small[ink[size_t(i)]]) continue;
            run.texture[size_t(i)] = 1;
            run.labels[size_t(i)] = kOpen;
        }
    });
}

void ShowTexture(SPageRun& run) {
    if (run.texture.empty()) return;
    ForEachPart(run.workers, run.size, 4096, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i)
            if (run.texture[size_t(i)]) run.labels[size_t(i)] = kLine;
    });
    run.texture = {};
}

void MeasureRegions(SPageRun& run) {
    run.reach.assign(run.labelEnd, 0);
    run.atEdge.assign(run.labelEnd, 0);
    const int64_t w = run.width, h = run.height;
    std::mutex measuresLock;
    ForEachPart(run.workers, h, 64, [&](int64_t y0, int64_t y1) {
        std::vector<uint32_t> reach(run.labelEnd, 0);
        std::vector<uint8_t> atEdge(run.labelEnd, 0);
        for (int64_t y = y0; y < y1; ++y) {
            const uint32_t* labels = run.labels.data() + y * w;
            const uint32_t* distance = run.distance.data() + y * w;
            for (int64_t x = 0; x < w; ++x) {
                const uint32_t label = labels[x];
                if (label == kLine || label >= run.labelEnd) continue;
                reach[label] = std::max(reach[label], distance[x]);
            }
            if (y == 0 || y == h - 1) {
                for (int64_t x = 0; x < w; ++x)
                    if (labels[x] < run.labelEnd) atEdge[labels[x]] = 1;
            } else {
                if (labels[0] < run.labelEnd) atEdge[labels[0]] = 1;
                if (labels[w - 1] < run.labelEnd) atEdge[labels[w - 1]] = 1;
            }
        }
        std::lock_guard<std::mutex> guard(measuresLock);
        for (uint32_t label = 0; label < run.labelEnd; ++label) {
            run.reach[label] = std::max(run.reach[label], reach[label]);
            run.atEdge[label] |= atEdge[label];
        }
    });
}

}  // namespace autoflat
