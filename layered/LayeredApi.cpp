#include "layered/LayeredApi.h"

#include <emscripten.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "layered/GatheredWrites.h"
#include "layered/OraFile.h"
#include "layered/PageStack.h"
#include "layered/PsdFile.h"

namespace {

layered::SLayer Picture(const uint8_t* pixels, int channels, int width) {
    if (channels != 3 && channels != 4) throw std::invalid_argument("a layer is RGB or RGBA");
    layered::SLayer layer;
    layer.hasAlpha = channels == 4;
    const size_t rowBytes = size_t(width) * size_t(channels);
    layer.row = [pixels, rowBytes](int y, std::vector<uint8_t>&) { return pixels + size_t(y) * rowBytes; };
    return layer;
}

void Say(const std::string& text, char* message, size_t messageBytes) {
    if (!message || !messageBytes) return;
    const size_t n = std::min(text.size(), messageBytes - 1);
    std::memcpy(message, text.data(), n);
    message[n] = '\0';
}

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE int vandrel_layered_write(
    int format, int width, int height, const uint8_t* flats, int flatsChannels, const uint8_t* lineArt,
    int lineArtChannels, const uint8_t* hints, int hintsChannels, double xDpi, double yDpi, int centimetres,
    const uint8_t* iccProfile, size_t iccBytes, void (*write)(const uint8_t*, size_t), char* message,
    size_t messageBytes) {
    try {
        if (!flats || !lineArt || !write || width < 1 || height < 1)
            throw std::invalid_argument("a layered file needs a page, its flats and its line art");
        layered::SLayerStack page;
        page.width = width;
        page.height = height;
        page.xDpi = xDpi > 0 && yDpi > 0 ? xDpi : 0;
        page.yDpi = xDpi > 0 && yDpi > 0 ? yDpi : 0;
        page.centimetres = centimetres != 0;
        if (iccProfile && iccBytes)
            page.iccProfile.assign(reinterpret_cast<const char*>(iccProfile), iccBytes);
        std::optional<layered::SLayer> hintsLayer;
        if (hints) hintsLayer = Picture(hints, hintsChannels, width);
        const layered::SLayerStack stack =
            layered::PageStack(std::move(page), Picture(flats, flatsChannels, width),
                               Picture(lineArt, lineArtChannels, width), std::move(hintsLayer));
        layered::CGatheredWrites out(write);
        const layered::FWrite sink = [&out](const void* bytes, size_t size) { out.Put(bytes, size); };
        if (format == VANDREL_LAYERED_ORA)
            layered::WriteOra(stack, sink);
        else
            layered::WritePsd(stack, sink);
        out.Flush();
        return VANDREL_LAYERED_WRITTEN;
    } catch (const std::bad_alloc&) {
        Say("not enough memory for the layered file", message, messageBytes);
        return VANDREL_LAYERED_NO_MEMORY;
    } catch (const std::exception& e) {
        Say(e.what(), message, messageBytes);
        return VANDREL_LAYERED_REFUSED;
    }
}
