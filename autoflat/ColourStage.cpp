// The final regions' colours, and the flats painted in them.
#include <algorithm>
#include <mutex>

#include "autoflat/AutoColours.h"
#include "autoflat/EarlierFlats.h"
#include "autoflat/PageStages.h"
#include "autoflat/Workers.h"

namespace autoflat {

namespace {

// Each touching pair of final regions once, in order.
std::vector<SRegionEdge> RegionEdges(const SPageRun& run) {
    std::vector<uint64_t> edges;
    for (const SBorder& border : run.borders) {
        const uint32_t a = run.final[run.into[border.a]], b = run.final[run.into[border.b]];
        if (a != b) edges.push_back(a < b ? uint64_t(a) << 32 | b : uint64_t(b) << 32 | a);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    std::vector<SRegionEdge> pairs;
    pairs.reserve(edges.size());
    for (const uint64_t edge : edges) pairs.push_back({uint32_t(edge >> 32), uint32_t(edge)});
    return pairs;
}

}  // namespace

void ChooseColours(SPageRun& run) {
    run.progress.At(0.85, "choosing colours");
    const uint32_t regionCount = run.regionCount;
    SAutoFlatResult& result = run.result;
    SColourRequest request;
    request.regionCount = regionCount;
    request.cmyk = IsCmyk(run.page.kind);
    request.palette = run.settings.palette;
    request.fixed.assign(regionCount, false);
    request.colours.assign(regionCount, SColour{});
    result.regions.assign(regionCount, SRegion{});
    for (uint32_t label = 1; label < run.labelEnd; ++label) {
        if (run.into[label] != label) continue;
        const uint32_t region = run.final[label];
        if (region == kOpen) continue;
        if (run.hinted[label].first) {
            request.fixed[region] = true;
            request.colours[region] = run.hinted[label].second;
            result.regions[region].fromHint = true;
        }
        result.regions[region].spotBlack = label >= run.firstSpot;
    }
    request.edges = RegionEdges(run);
    request.anchors = run.anchors;
    if (run.settings.earlier.pixels) {
        const auto earlier =
            EarlierColours(run.settings.earlier, run.distance.data(), regionCount, run.workers);
        for (uint32_t region = 0; region < regionCount; ++region) {
            if (request.fixed[region] || !earlier[region].first) continue;
            request.fixed[region] = true;
            request.colours[region] = earlier[region].second;
        }
    }
    CStageProgress stage(run.progress, 0.85, 0.9, "choosing colours", 8 * uint64_t(regionCount));
    request.done = stage.Reporter();
    AssignColours(request);
    for (uint32_t region = 0; region < regionCount; ++region)
        result.regions[region].colour = request.colours[region];
    std::mutex pixelsLock;
    ForEachPart(run.workers, run.size, 1 << 16, [&](int64_t begin, int64_t end) {
        std::vector<uint64_t> part(regionCount, 0);
        for (int64_t i = begin; i < end; ++i) ++part[run.distance[size_t(i)]];
        std::lock_guard<std::mutex> guard(pixelsLock);
        for (uint32_t region = 0; region < regionCount; ++region)
            result.regions[region].pixels += part[region];
    });
    run.colours = std::move(request.colours);
}

void PaintFlats(SPageRun& run) {
    run.progress.At(0.9, "painting flats");
    SAutoFlatResult& result = run.result;
    const CPixelReader& reader = run.reader;
    const int outChannels = ChannelCount(result.flatsKind);
    const int colourChannels = IsCmyk(run.page.kind) ? 4 : 3;
    const bool alpha = HasAlpha(result.flatsKind);
    const int64_t width = run.width;
    result.flats.resize(size_t(run.size) * size_t(outChannels));
    CStageProgress stage(run.progress, 0.9, 1.0, "painting flats", uint64_t(run.size));
    ForEachPart(run.workers, run.height, 16, [&](int64_t y0, int64_t y1) {
        for (int64_t y = y0; y < y1; ++y) {
            stage.Done(uint64_t(width));
            const uint8_t* row = run.page.pixels + y * run.rowBytes;
            uint8_t* out = result.flats.data() + y * width * outChannels;
            for (int64_t x = 0; x < width; ++x, out += outChannels) {
                const int64_t i = y * width + x;
                const uint8_t* pixel = row + x * reader.Channels();
                if (run.settings.keepLines && run.labels[size_t(i)] == kLine) {
                    const SColour own = reader.Colour(pixel);
                    std::copy(own.v, own.v + colourChannels, out);
                    if (alpha) out[colourChannels] = pixel[reader.Channels() - 1];
                    continue;
                }
                const SColour& colour = run.colours[run.distance[size_t(i)]];
                std::copy(colour.v, colour.v + colourChannels, out);
                if (alpha) out[colourChannels] = 255;
            }
        }
    });
    result.labels = std::move(run.distance);
}

}  // namespace autoflat
