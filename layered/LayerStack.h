// A page as a stack of layers, for the formats that keep layers apart. The
// layers hand out their rows on demand, so that a writer streams a page of
// any size through one row at a time, and may read a row more than once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace layered {

enum class EColourModel { Rgb, Cmyk };
enum class EBlend { Normal, Multiply };

struct SLayer {
    std::string name;
    EBlend blend = EBlend::Normal;
    bool visible = true;
    bool hasAlpha = false;  // one plane after the colour planes
    // Row y, 0 at the top: the page's colour planes (and the alpha plane)
    // interleaved, CMYK as ink amounts (255 full ink). The pointer stays
    // valid until the next call; `scratch` is there for a row that has to
    // be made rather than lent.
    std::function<const uint8_t*(int y, std::vector<uint8_t>& scratch)> row;
};

struct SLayerStack {
    int width = 0;
    int height = 0;
    EColourModel model = EColourModel::Rgb;
    // Dots per inch, 0 when the page did not say; shown in centimetres when
    // the page measured itself so.
    double xDpi = 0;
    double yDpi = 0;
    bool centimetres = false;
    std::string iccProfile;      // raw bytes, or empty
    std::vector<SLayer> layers;  // the bottom one first

    int ColourPlanes() const { return model == EColourModel::Cmyk ? 4 : 3; }
    // The merged page has alpha where a visible layer does.
    bool MergedHasAlpha() const {
        for (const SLayer& layer : layers)
            if (layer.visible && layer.hasAlpha) return true;
        return false;
    }
};

// Where a writer's bytes go, in order, never back: the file may be a pipe
// or a member of an archive as well as a plain file.
using FWrite = std::function<void(const void* bytes, size_t size)>;

// How far the writing is, 0 to 1.
using FProgress = std::function<void(double done)>;

}  // namespace layered
