#include "autoflat/AutoFlats.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>
#include <stdexcept>
#include <unordered_map>

#include "autoflat/AutoColours.h"
#include "autoflat/EarlierFlats.h"
#include "autoflat/DistanceTransform.h"
#include "autoflat/LabelMelt.h"
#include "autoflat/PixelClasses.h"
#include "autoflat/RegionLabels.h"
#include "autoflat/SmallRegions.h"
#include "autoflat/Workers.h"

namespace autoflat {

int ChannelCount(EPageKind kind) {
    switch (kind) {
        case EPageKind::Gray:
            return 1;
        case EPageKind::GrayAlpha:
            return 2;
        case EPageKind::Rgb:
            return 3;
        case EPageKind::Rgba:
        case EPageKind::Cmyk:
            return 4;
        case EPageKind::CmykAlpha:
            return 5;
    }
    return 0;
}

bool HasAlpha(EPageKind kind) {
    return kind == EPageKind::GrayAlpha || kind == EPageKind::Rgba || kind == EPageKind::CmykAlpha;
}

bool IsCmyk(EPageKind kind) { return kind == EPageKind::Cmyk || kind == EPageKind::CmykAlpha; }

EPageKind FlatsKind(EPageKind pageKind) {
    switch (pageKind) {
        case EPageKind::Gray:
            return EPageKind::Rgb;
        case EPageKind::GrayAlpha:
            return EPageKind::Rgba;
        default:
            return pageKind;
    }
}

int32_t DefaultGap(int32_t width, int32_t height, double dpi) {
    const double gap = dpi > 0 ? dpi / 30.0 : std::min(width, height) / 250.0;
    return int32_t(std::clamp(std::lround(gap), 2L, 64L));
}

uint64_t PeakBytes(int32_t width, int32_t height, EPageKind kind, bool withHints, bool withMarks) {
    const uint64_t pixels = uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0));
    // Two label maps and the flats, and on a page of line art two bytes a
    // pixel at most for the growth's frontiers, the components' provisional
    // labels and the borders (a page of noise may need more, and fails with
    // OutOfMemory then). The hints page is only read.
    (void)withHints;
    return pixels * (4 + 4 + uint64_t(ChannelCount(FlatsKind(kind))) + 2 + (withMarks ? 1 : 0)) +
           (64ull << 20);
}

const char* StatusName(EAutoFlatStatus status) {
    switch (status) {
        case EAutoFlatStatus::Ok:
            return "ok";
        case EAutoFlatStatus::Cancelled:
            return "cancelled";
        case EAutoFlatStatus::EmptyPage:
            return "empty page";
        case EAutoFlatStatus::PageTooLarge:
            return "page too large";
        case EAutoFlatStatus::HintsMismatch:
            return "hints page does not match";
        case EAutoFlatStatus::BadSettings:
            return "bad settings";
        case EAutoFlatStatus::NoRegions:
            return "no regions";
        case EAutoFlatStatus::TooManyRegions:
            return "too many regions";
        case EAutoFlatStatus::OutOfMemory:
            return "out of memory";
    }
    return "unknown";
}

namespace {

class CFailure : public std::runtime_error {
public:
    CFailure(EAutoFlatStatus status, const std::string& message)
        : std::runtime_error(message), status(status) {}
    EAutoFlatStatus status;
};

std::ptrdiff_t RowBytes(const SPageView& view) {
    return view.rowBytes != 0 ? view.rowBytes : std::ptrdiff_t(view.width) * ChannelCount(view.kind);
}

bool KnownKind(EPageKind kind) { return uint8_t(kind) <= uint8_t(EPageKind::CmykAlpha); }

void Check(const SPageView& page, const SPageView* hints, const SAutoFlatSettings& settings) {
    if (!page.pixels || page.width <= 0 || page.height <= 0)
        throw CFailure(EAutoFlatStatus::EmptyPage, "the page has no pixels");
    if (page.width > kMaxSide || page.height > kMaxSide)
        throw CFailure(EAutoFlatStatus::PageTooLarge, "the page is larger than 65535 pixels on a side");
    if (!KnownKind(page.kind)) throw CFailure(EAutoFlatStatus::BadSettings, "unknown pixel layout");
    if (RowBytes(page) < std::ptrdiff_t(page.width) * ChannelCount(page.kind))
        throw CFailure(EAutoFlatStatus::BadSettings, "rows shorter than the page is wide");
    if (hints) {
        if (!hints->pixels || !KnownKind(hints->kind) || hints->width != page.width ||
            hints->height != page.height)
            throw CFailure(EAutoFlatStatus::HintsMismatch, "the hints page is not the size of the page");
        if (IsCmyk(hints->kind) != IsCmyk(page.kind))
            throw CFailure(EAutoFlatStatus::HintsMismatch,
                           "the hints page is not in the page's colour model");
        if (RowBytes(*hints) < std::ptrdiff_t(hints->width) * ChannelCount(hints->kind))
            throw CFailure(EAutoFlatStatus::HintsMismatch, "hint rows shorter than the page is wide");
    }
    if (settings.earlier.pixels) {
        const SPageView& earlier = settings.earlier;
        if (!KnownKind(earlier.kind) || earlier.width != page.width || earlier.height != page.height)
            throw CFailure(EAutoFlatStatus::HintsMismatch, "the earlier flats are not the size of the page");
        if (IsCmyk(earlier.kind) != IsCmyk(page.kind))
            throw CFailure(EAutoFlatStatus::HintsMismatch,
                           "the earlier flats are not in the page's colour model");
        if (RowBytes(earlier) < std::ptrdiff_t(earlier.width) * ChannelCount(earlier.kind))
            throw CFailure(EAutoFlatStatus::HintsMismatch,
                           "earlier flats' rows shorter than the page is wide");
    }
    if (settings.gap < 0 || settings.gap > 1024)
        throw CFailure(EAutoFlatStatus::BadSettings, "the gap must be 0 to 1024 pixels");
    if (settings.minRegion < -1) throw CFailure(EAutoFlatStatus::BadSettings, "negative minimum region");
    if (settings.darkness == 0)
        throw CFailure(EAutoFlatStatus::BadSettings, "a darkness of 0 makes all line art");
    if (settings.spotBlackDepth < 0 || settings.spotBlackDepth > 65535)
        throw CFailure(EAutoFlatStatus::BadSettings, "the spot black depth must be 0 to 65535");
    if (!(settings.dpi >= 0 && settings.dpi < 1e6))
        throw CFailure(EAutoFlatStatus::BadSettings, "the resolution must be positive");
}

// Hands progress to the caller stage by stage; a refusal ends the run.
class CProgress {
public:
    explicit CProgress(const FProgress& progress) : progress_(progress) {}
    bool Ask(double fraction, const char* stage) const { return !progress_ || progress_(fraction, stage); }
    void At(double fraction, const char* stage) const {
        if (!Ask(fraction, stage)) throw CFailure(EAutoFlatStatus::Cancelled, "cancelled");
    }

private:
    const FProgress& progress_;
};

// The regions' hint colours: each region's most frequent hint, the smaller
// colour value on a tie.
std::vector<std::pair<bool, SColour>> HintColours(const SPageView& page, const CPixelReader& reader,
                                                  const uint32_t* labels, uint32_t labelCount, int workers) {
    auto key = [](const SColour& c) {
        return uint32_t(c.v[0]) | uint32_t(c.v[1]) << 8 | uint32_t(c.v[2]) << 16 | uint32_t(c.v[3]) << 24;
    };
    const std::ptrdiff_t rowBytes = RowBytes(page);
    // Counts are sums, so the parts may be added up in any order.
    std::unordered_map<uint64_t, uint64_t> counts;
    std::mutex countsLock;
    ForEachPart(workers, page.height, 64, [&](int64_t y0, int64_t y1) {
        std::unordered_map<uint64_t, uint64_t> part;
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* row = page.pixels + y * rowBytes;
            uint64_t runKey = 0, run = 0;
            for (int64_t x = 0; x < page.width; ++x) {
                const uint8_t* pixel = row + x * reader.Channels();
                if (reader.Classify(pixel) != EPixelClass::Hint) continue;
                const uint32_t label = labels[y * page.width + x];
                if (label == kLine || label >= labelCount) continue;
                const uint64_t k = uint64_t(label) << 32 | key(reader.Colour(pixel));
                if (run && k != runKey) {
                    part[runKey] += run;
                    run = 0;
                }
                runKey = k;
                ++run;
            }
            if (run) part[runKey] += run;
        }
        std::lock_guard<std::mutex> guard(countsLock);
        for (const auto& [k, count] : part) counts[k] += count;
    });
    std::vector<uint64_t> best(labelCount, 0);
    std::vector<uint32_t> bestColour(labelCount, 0);
    for (const auto& [k, count] : counts) {
        const uint32_t label = uint32_t(k >> 32), colour = uint32_t(k);
        if (count > best[label] || (count == best[label] && colour < bestColour[label])) {
            best[label] = count;
            bestColour[label] = colour;
        }
    }
    std::vector<std::pair<bool, SColour>> colours(labelCount);
    for (uint32_t label = 0; label < labelCount; ++label) {
        if (best[label] == 0) continue;
        SColour c;
        for (int i = 0; i < 4; ++i) c.v[i] = uint8_t(bestColour[label] >> (8 * i));
        colours[label] = {true, c};
    }
    return colours;
}

// Seams between regions that no line art parts: both sides are region
// pixels before the melt (labels 1 .. firstSpot - 1; spot blacks are line
// art that became regions, and their edges are drawn), in two final regions.
void MarkClosedGaps(const uint32_t* before, uint32_t firstSpot, const uint32_t* regions, int32_t width,
                    int32_t height, uint8_t* marks) {
    auto open = [&](int64_t i) { return before[i] != kLine && before[i] < firstSpot; };
    for (int64_t y = 0; y < height; ++y)
        for (int64_t x = 0; x < width; ++x) {
            const int64_t i = y * width + x;
            if (!open(i)) continue;
            if (x + 1 < width && open(i + 1) && regions[i] != regions[i + 1]) {
                marks[i] |= kMarkClosedGap;
                marks[i + 1] |= kMarkClosedGap;
            }
            if (y + 1 < height && open(i + width) && regions[i] != regions[i + width]) {
                marks[i] |= kMarkClosedGap;
                marks[i + width] |= kMarkClosedGap;
            }
        }
}

SAutoFlatResult Run(const SPageView& page, const SPageView* hints, const SAutoFlatSettings& settings,
                    const FProgress& progressCallback) {
    Check(page, hints, settings);
    const CProgress progress(progressCallback);
    const int workers = WorkerCount(settings.workers);
    const int32_t width = page.width, height = page.height;
    const int64_t size = int64_t(width) * height;

    SAutoFlatResult result;
    result.width = width;
    result.height = height;
    result.flatsKind = FlatsKind(page.kind);
    result.gap = settings.gap > 0 ? settings.gap : DefaultGap(width, height, settings.dpi);
    const int64_t gap = result.gap;
    result.minRegion =
        settings.minRegion >= 0 ? settings.minRegion : std::max<int64_t>(16, (gap / 2) * (gap / 2));
    const int64_t spotDepth =
        settings.spotBlackDepth > 0 ? settings.spotBlackDepth : std::max<int64_t>(4, gap);
    const bool cmyk = IsCmyk(page.kind);
    const SClassLimits limits{settings.darkness, settings.hintChroma};
    const CPixelReader reader(page.kind, limits);
    const std::ptrdiff_t rowBytes = RowBytes(page);

    progress.At(0.0, "classifying");
    std::vector<uint32_t> labels(static_cast<size_t>(size));
    const SLabelMap map{width, height, labels.data()};
    ForEachPart(workers, height, 16, [&](int64_t y0, int64_t y1) {
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* row = page.pixels + y * rowBytes;
            uint32_t* out = labels.data() + y * width;
            for (int64_t x = 0; x < width; ++x)
                out[x] = reader.Classify(row + x * reader.Channels()) == EPixelClass::Line ? kLine : kOpen;
        }
    });

    for (const uint32_t value : labels) result.linePixels += value == kLine;

    progress.At(0.05, "measuring gaps");
    std::vector<uint32_t> distance(static_cast<size_t>(size));
    SquaredDistances(width, height, labels.data(), kLine, false, distance.data(), workers);

    // A core is what lies farther from every line than half the widest gap
    // to be closed, plus a pixel so that gaps across the diagonal close too:
    // no path of cores passes through such a gap.
    progress.At(0.2, "finding regions");
    const uint64_t coreLimit = uint64_t((gap + 2) * (gap + 2)) / 4;
    const std::vector<uint64_t> cores = LabelComponents(
        map, 1, [&](int64_t i) { return labels[size_t(i)] == kOpen && distance[size_t(i)] > coreLimit; });
    // A core of a few pixels is where a narrow passage widens a little, or a
    // page corner: no region of its own, or a strip along the page's edge
    // would be cut into pieces at the corners.
    const uint64_t weakCore = uint64_t(std::max<int64_t>(4, (gap / 2) * (gap / 2)));
    std::vector<uint32_t> coreLabels(cores.size(), kOpen);
    uint32_t coreEnd = 1;
    for (size_t c = 0; c < cores.size(); ++c)
        if (cores[c] >= weakCore) coreLabels[c] = coreEnd++;
    Relabel(map, 1, coreLabels, workers);
    GrowIntoOpen(map);
    // What no core reaches is enclosed all round, however narrow.
    const uint32_t firstClosed = coreEnd;
    const std::vector<uint64_t> closed =
        LabelComponents(map, firstClosed, [&](int64_t i) { return labels[size_t(i)] == kOpen; });
    uint32_t labelEnd = firstClosed + uint32_t(closed.size());

    progress.At(0.35, "finding spot blacks");
    SquaredDistances(width, height, labels.data(), kLine, true, distance.data(), workers);
    const uint32_t firstSpot = labelEnd;
    if (settings.spotBlacks == ESpotBlacks::Regions) {
        const uint64_t deep = uint64_t(spotDepth * spotDepth);
        const std::vector<uint64_t> spots = LabelComponents(map, firstSpot, [&](int64_t i) {
            return labels[size_t(i)] == kLine && distance[size_t(i)] > deep;
        });
        // A line, however thick, is long and narrow: its deep part is a thin
        // ridge, and where two thick lines cross, a heart at most their width
        // over the square root of two deep. A spot black has a heart three
        // times the depth (so it is more than six depths across) and takes
        // in the deep black around it.
        std::vector<uint32_t> heart(spots.size(), 0);
        for (int64_t i = 0; i < size; ++i) {
            const uint32_t value = labels[size_t(i)];
            if (value >= firstSpot && value != kOpen)
                heart[value - firstSpot] = std::max(heart[value - firstSpot], distance[size_t(i)]);
        }
        std::vector<uint32_t> remap(spots.size(), kLine);
        for (size_t s = 0; s < spots.size(); ++s)
            if (heart[s] > 9 * deep && spots[s] >= uint64_t(result.minRegion)) remap[s] = labelEnd++;
        Relabel(map, firstSpot, remap, workers);
    }
    if (labelEnd == 1) throw CFailure(EAutoFlatStatus::NoRegions, "the page is all line art");
    if (labelEnd - 1 > kMaxMeltLabel) throw CFailure(EAutoFlatStatus::TooManyRegions, "too many regions");

    // Deep enough that the search reaches a region from every line pixel.
    uint64_t deepest = 0;
    for (int64_t i = 0; i < size; ++i)
        if (labels[size_t(i)] == kLine) deepest = std::max<uint64_t>(deepest, distance[size_t(i)]);
    const uint64_t reach = uint64_t(std::ceil(std::sqrt(double(std::min<uint64_t>(deepest, kFarAway)))));
    result.meltDepth = uint32_t(std::min<uint64_t>(reach + 1, UINT16_MAX));

    progress.At(0.4, "melting lines");
    std::vector<uint32_t>& melted = distance;
    const bool whole = MeltLabels(map, melted.data(), result.meltDepth, workers, [&](double done) {
        return progress.Ask(0.4 + 0.4 * done, "melting lines");
    });
    if (!whole) throw CFailure(EAutoFlatStatus::Cancelled, "cancelled");
    // A search the engine gave up at the page's border leaves its pixel
    // black; it goes to the region beside it.
    const SLabelMap meltedMap{width, height, melted.data()};
    if (settings.pixelMarks) {
        result.marks.assign(size_t(size), 0);
        for (int64_t i = 0; i < size; ++i)
            if (labels[size_t(i)] == kLine)
                result.marks[size_t(i)] = melted[size_t(i)] == kLine ? kMarkLine | kMarkLeft : kMarkLine;
    }
    bool anyLeft = false;
    for (auto& value : melted)
        if (value == kLine) {
            value = kOpen;
            anyLeft = true;
        }
    if (anyLeft) GrowIntoOpen(meltedMap);

    progress.At(0.8, "merging small regions");
    std::vector<std::pair<bool, SColour>> hinted =
        HintColours(page, reader, melted.data(), labelEnd, workers);
    if (hints) {
        const CPixelReader hintReader(hints->kind, limits);
        // The hints page's own votes decide where it has any: it is the
        // colourist's explicit word.
        const auto fromPage = HintColours(*hints, hintReader, melted.data(), labelEnd, workers);
        for (uint32_t label = 0; label < labelEnd; ++label)
            if (fromPage[label].first) hinted[label] = fromPage[label];
    }
    std::vector<uint64_t> area(labelEnd, 0);
    for (const uint32_t value : labels)
        if (value != kLine && value < labelEnd) ++area[value];
    std::vector<bool> keep(labelEnd, false);
    keep[0] = true;
    for (uint32_t label = 0; label < labelEnd; ++label)
        if (hinted[label].first || label >= firstSpot) keep[label] = true;
    const std::vector<SBorder> borders = Borders(melted.data(), width, height, 1, workers);
    const std::vector<uint32_t> into = FoldSmallRegions(area, keep, borders, uint64_t(result.minRegion));

    // Final labels from 0, in order of first appearance.
    std::vector<uint32_t> final(labelEnd, kOpen);
    uint32_t regionCount = 0;
    std::vector<uint64_t> anchors;
    for (size_t i = 0; i < melted.size(); ++i) {
        const uint32_t root = into[melted[i]];
        if (final[root] != kOpen) continue;
        final[root] = regionCount++;
        anchors.push_back(uint64_t(i / size_t(width)) << 32 | uint64_t(i % size_t(width)));
    }
    ForEachPart(workers, size, 4096, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) melted[size_t(i)] = final[into[melted[size_t(i)]]];
    });

    if (settings.pixelMarks)
        MarkClosedGaps(labels.data(), firstSpot, melted.data(), width, height, result.marks.data());

    progress.At(0.85, "choosing colours");
    SColourRequest request;
    request.regionCount = regionCount;
    request.cmyk = cmyk;
    request.palette = settings.palette;
    request.anchors = std::move(anchors);
    request.fixed.assign(regionCount, false);
    request.colours.assign(regionCount, SColour{});
    result.regions.assign(regionCount, SRegion{});
    for (uint32_t label = 1; label < labelEnd; ++label) {
        if (into[label] != label) continue;
        const uint32_t region = final[label];
        if (region == kOpen) continue;
        if (hinted[label].first) {
            request.fixed[region] = true;
            request.colours[region] = hinted[label].second;
            result.regions[region].fromHint = true;
        }
        result.regions[region].spotBlack = label >= firstSpot;
    }
    if (settings.earlier.pixels) {
        const auto earlier = EarlierColours(settings.earlier, melted.data(), regionCount, workers);
        for (uint32_t region = 0; region < regionCount; ++region) {
            if (request.fixed[region] || !earlier[region].first) continue;
            request.fixed[region] = true;
            request.colours[region] = earlier[region].second;
        }
    }
    std::vector<uint64_t> edges;
    for (const SBorder& border : borders) {
        const uint32_t a = final[into[border.a]], b = final[into[border.b]];
        if (a != b) edges.push_back(a < b ? uint64_t(a) << 32 | b : uint64_t(b) << 32 | a);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    for (const uint64_t edge : edges) request.edges.push_back({uint32_t(edge >> 32), uint32_t(edge)});
    AssignColours(request);
    for (uint32_t region = 0; region < regionCount; ++region)
        result.regions[region].colour = request.colours[region];
    for (const uint32_t value : melted) ++result.regions[value].pixels;

    progress.At(0.9, "painting flats");
    const int outChannels = ChannelCount(result.flatsKind);
    const int colourChannels = cmyk ? 4 : 3;
    const bool alpha = HasAlpha(result.flatsKind);
    result.flats.resize(size_t(size) * size_t(outChannels));
    ForEachPart(workers, height, 16, [&](int64_t y0, int64_t y1) {
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* row = page.pixels + y * rowBytes;
            uint8_t* out = result.flats.data() + y * width * outChannels;
            for (int64_t x = 0; x < width; ++x, out += outChannels) {
                const int64_t i = y * width + x;
                const uint8_t* pixel = row + x * reader.Channels();
                if (settings.keepLines && labels[size_t(i)] == kLine) {
                    const SColour own = reader.Colour(pixel);
                    std::copy(own.v, own.v + colourChannels, out);
                    if (alpha) out[colourChannels] = pixel[reader.Channels() - 1];
                    continue;
                }
                const SColour& colour = request.colours[melted[size_t(i)]];
                std::copy(colour.v, colour.v + colourChannels, out);
                if (alpha) out[colourChannels] = 255;
            }
        }
    });
    result.labels = std::move(melted);
    progress.At(1.0, "done");
    return result;
}

}  // namespace

SAutoFlatResult AutoFlat(const SPageView& page, const SPageView* hints, const SAutoFlatSettings& settings,
                         const FProgress& progress) {
    auto failed = [](EAutoFlatStatus status, std::string message) {
        SAutoFlatResult result;
        result.status = status;
        result.message = std::move(message);
        return result;
    };
    try {
        return Run(page, hints, settings, progress);
    } catch (const CFailure& failure) {
        return failed(failure.status, failure.what());
    } catch (const std::bad_alloc&) {
        return failed(EAutoFlatStatus::OutOfMemory, "not enough memory for a page this size");
    } catch (const std::length_error&) {
        return failed(EAutoFlatStatus::TooManyRegions, "too many regions");
    } catch (const std::exception& e) {
        return failed(EAutoFlatStatus::OutOfMemory, e.what());
    } catch (...) {
        return failed(EAutoFlatStatus::OutOfMemory, "the page could not be flatted");
    }
}

}  // namespace autoflat
