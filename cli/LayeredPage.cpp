#include "cli/LayeredPage.h"

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "cli/ImageError.h"
#include "cli/Interrupt.h"
#include "cli/WriteAll.h"
#include "layered/GatheredWrites.h"
#include "layered/OraFile.h"
#include "layered/PageStack.h"
#include "layered/PsdFile.h"

namespace cli {

namespace {

// A raster's rows in the stack's colour model: lent as they are, or gray
// line art spread to RGB.
layered::SLayer LayerOf(const SRaster& raster, layered::EColourModel model) {
    const bool cmyk = model == layered::EColourModel::Cmyk;
    if ((raster.model == EColourModel::Cmyk) != cmyk)
        throw CImageError("the layers are not all " + std::string(cmyk ? "CMYK" : "RGB"));
    layered::SLayer layer;
    layer.hasAlpha = raster.hasAlpha;
    const SRaster* source = &raster;
    if (raster.model != EColourModel::Gray) {
        layer.row = [source](int y, std::vector<uint8_t>&) {
            return source->pixels.Bytes().data() + size_t(y) * source->RowBytes();
        };
        return layer;
    }
    layer.row = [source](int y, std::vector<uint8_t>& scratch) {
        const int planes = source->Planes();
        const uint8_t* in = source->pixels.Bytes().data() + size_t(y) * source->RowBytes();
        scratch.resize(size_t(source->width) * size_t(planes + 2));
        uint8_t* out = scratch.data();
        for (int x = 0; x < source->width; ++x, in += planes) {
            *out++ = in[0];
            *out++ = in[0];
            *out++ = in[0];
            if (planes == 2) *out++ = in[1];
        }
        return static_cast<const uint8_t*>(scratch.data());
    };
    return layer;
}

// PNG keeps dots per metre, so 300 dpi comes back as 299.9994: a reader
// that truncates would show 299. A resolution that close to a whole number
// of dots per inch was that number.
double DotsPerInch(const SResolution& resolution, double value) {
    const double dpi = resolution.PerMetre(value) * 0.0254;
    return std::fabs(dpi - std::round(dpi)) < 0.01 ? std::round(dpi) : dpi;
}

layered::SLayerStack StackOf(const SRaster& lineArt, const SRaster& flats, const SRaster* hints) {
    layered::SLayerStack stack;
    stack.width = flats.width;
    stack.height = flats.height;
    stack.model =
        flats.model == EColourModel::Cmyk ? layered::EColourModel::Cmyk : layered::EColourModel::Rgb;
    for (const SRaster* raster : {&lineArt, hints})
        if (raster && (raster->width != flats.width || raster->height != flats.height))
            throw CImageError("the layers are not all of one size");
    const SResolution& r = flats.resolution;
    if (r.present && r.unit != EResolutionUnit::None && r.x > 0 && r.y > 0) {
        stack.xDpi = DotsPerInch(r, r.x);
        stack.yDpi = DotsPerInch(r, r.y);
        stack.centimetres = r.unit != EResolutionUnit::Inch;
    }
    stack.iccProfile = flats.iccProfile;
    const layered::EColourModel model = stack.model;
    std::optional<layered::SLayer> hintsLayer;
    if (hints) hintsLayer = LayerOf(*hints, model);
    return layered::PageStack(std::move(stack), LayerOf(flats, model), LayerOf(lineArt, model),
                              std::move(hintsLayer));
}

}  // namespace

void CheckLayeredPage(ELayeredFormat format, const SRaster& page) {
    if (format == ELayeredFormat::Ora && page.model == EColourModel::Cmyk)
        throw CImageError("OpenRaster holds RGB pages only and this page is CMYK: use --layers psd");
    if (format == ELayeredFormat::Psd && std::max(page.width, page.height) > layered::kPsdMaxSide)
        throw CImageError("a .psd holds pages of at most " + std::to_string(layered::kPsdMaxSide) +
                          " pixels a side, and this page is " + std::to_string(page.width) + " x " +
                          std::to_string(page.height) + ": use --layers ora");
}

std::vector<std::string> WriteLayeredPage(int fd, ELayeredFormat format, const SRaster& lineArt,
                                          const SRaster& flats, const SRaster* hints,
                                          const SCodecOptions& codec) {
    CheckLayeredPage(format, flats);
    const layered::SLayerStack stack = StackOf(lineArt, flats, hints);
    // Ctrl-C is heeded between the gathered writes.
    layered::CGatheredWrites sink([fd, &codec](const uint8_t* bytes, size_t size) {
        if (codec.heedInterrupt && InterruptRequested()) throw CImageError("interrupted");
        if (!WriteAll(fd, reinterpret_cast<const char*>(bytes), size))
            throw CImageError(std::string("cannot write: ") + std::strerror(errno));
    });
    const layered::FWrite write = [&sink](const void* bytes, size_t size) { sink.Put(bytes, size); };
    const layered::FProgress progress = [&codec](double done) { codec.Report(done); };
    try {
        if (format == ELayeredFormat::Ora)
            layered::WriteOra(stack, write, progress);
        else
            layered::WritePsd(stack, write, progress);
    } catch (const std::invalid_argument& e) {
        throw CImageError(e.what());
    }
    sink.Flush();
    std::vector<std::string> warnings;
    if (lineArt.tiffOrientation != 1)
        warnings.push_back("the TIFF's orientation (" + std::to_string(lineArt.tiffOrientation) +
                           ", turned or mirrored) cannot be kept in a layered file: its pixels are as the "
                           "file stores them");
    return warnings;
}

}  // namespace cli
