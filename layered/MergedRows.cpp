#include "layered/MergedRows.h"

#include <algorithm>
#include <cmath>

namespace layered {

namespace {

// The separable blend of two colours, both light (255 white): Multiply
// darkens, in CMYK as much as in RGB, as the inks of both would.
double Blend(EBlend blend, double backdrop, double source) {
    return blend == EBlend::Multiply ? backdrop * source / 255.0 : source;
}

uint8_t Rounded(double value) { return uint8_t(std::lround(std::fmin(255.0, std::fmax(0.0, value)))); }

}  // namespace

CMergedRows::CMergedRows(const SLayerStack& stack, bool matteWhite)
    : stack_(stack),
      matteWhite_(matteWhite),
      alpha_(stack.MergedHasAlpha()),
      planes_(stack.ColourPlanes() + (alpha_ ? 1 : 0)) {
    colour_.resize(size_t(stack.width) * size_t(stack.ColourPlanes()));
    cover_.resize(size_t(stack.width));
    out_.resize(size_t(stack.width) * size_t(planes_));
}

// Opaque layers only, the usual page: whole numbers, rounded as the general
// path rounds, several times faster.
const uint8_t* CMergedRows::OpaqueRow(int y) {
    const int colours = stack_.ColourPlanes();
    const size_t samples = size_t(stack_.width) * size_t(colours);
    const uint8_t flip = stack_.model == EColourModel::Cmyk ? 255 : 0;
    bool first = true;
    for (const SLayer& layer : stack_.layers) {
        if (!layer.visible) continue;
        const uint8_t* row = layer.row(y, scratch_);
        if (first || layer.blend == EBlend::Normal) {
            std::copy_n(row, samples, out_.begin());
        } else {
            for (size_t i = 0; i < samples; ++i) {
                const unsigned product = unsigned(out_[i] ^ flip) * unsigned(row[i] ^ flip) + 128;
                out_[i] = uint8_t(((product + (product >> 8)) >> 8) ^ flip);
            }
        }
        first = false;
    }
    if (first) std::fill(out_.begin(), out_.end(), flip);
    return out_.data();
}

const uint8_t* CMergedRows::Row(int y) {
    if (!alpha_) return OpaqueRow(y);
    const int colours = stack_.ColourPlanes();
    const bool ink = stack_.model == EColourModel::Cmyk;
    std::fill(colour_.begin(), colour_.end(), 0.0);
    std::fill(cover_.begin(), cover_.end(), 0.0);
    // The usual compositing of a layer over what lies under it: where both
    // cover a pixel the blend shows, where only one does its own colour.
    for (const SLayer& layer : stack_.layers) {
        if (!layer.visible) continue;
        const uint8_t* row = layer.row(y, scratch_);
        const int stride = colours + (layer.hasAlpha ? 1 : 0);
        for (int x = 0; x < stack_.width; ++x) {
            const uint8_t* pixel = row + size_t(x) * size_t(stride);
            const double source = layer.hasAlpha ? pixel[colours] / 255.0 : 1.0;
            const double below = cover_[size_t(x)];
            const double cover = source + below * (1.0 - source);
            double* c = &colour_[size_t(x) * size_t(colours)];
            for (int p = 0; p < colours; ++p) {
                const double s = ink ? 255.0 - pixel[p] : pixel[p];
                const double mixed = (1.0 - below) * s + below * Blend(layer.blend, c[p], s);
                c[p] = cover > 0 ? (source * mixed + (1.0 - source) * below * c[p]) / cover : 0.0;
            }
            cover_[size_t(x)] = cover;
        }
    }
    for (int x = 0; x < stack_.width; ++x) {
        const double cover = alpha_ ? cover_[size_t(x)] : 1.0;
        const double* c = &colour_[size_t(x) * size_t(colours)];
        uint8_t* o = &out_[size_t(x) * size_t(planes_)];
        for (int p = 0; p < colours; ++p) {
            const double light = matteWhite_ ? c[p] * cover + 255.0 * (1.0 - cover) : c[p];
            o[p] = Rounded(ink ? 255.0 - light : light);
        }
        if (alpha_) o[colours] = Rounded(cover * 255.0);
    }
    return out_.data();
}

}  // namespace layered
