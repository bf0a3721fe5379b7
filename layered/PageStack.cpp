#include "layered/PageStack.h"

#include <utility>

namespace layered {

namespace {

SLayer Named(SLayer layer, const char* name, EBlend blend, bool visible) {
    layer.name = name;
    layer.blend = blend;
    layer.visible = visible;
    return layer;
}

}  // namespace

SLayerStack PageStack(SLayerStack page, SLayer flats, SLayer lineArt, std::optional<SLayer> hints) {
    page.layers.clear();
    page.layers.push_back(Named(std::move(flats), kFlatsLayerName, EBlend::Normal, true));
    page.layers.push_back(Named(std::move(lineArt), kLineArtLayerName, EBlend::Multiply, true));
    if (hints) page.layers.push_back(Named(std::move(*hints), kHintsLayerName, EBlend::Normal, false));
    return page;
}

}  // namespace layered
