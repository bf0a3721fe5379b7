#include "layered/OraFile.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "layered/MergedRows.h"
#include "layered/PngStream.h"
#include "layered/ZipFile.h"

namespace layered {

namespace {

constexpr int kThumbnailSide = 256;

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string LayerFile(size_t index) { return "data/layer" + std::to_string(index) + ".png"; }

// The stack lists the top layer first.
std::string StackXml(const SLayerStack& stack) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<image version=\"0.0.3\" w=\"" +
                      std::to_string(stack.width) + "\" h=\"" + std::to_string(stack.height) + "\"";
    if (stack.xDpi > 0 && stack.yDpi > 0)
        xml += " xres=\"" + std::to_string(std::lround(stack.xDpi)) + "\" yres=\"" +
               std::to_string(std::lround(stack.yDpi)) + "\"";
    xml += ">\n <stack>\n";
    for (size_t i = stack.layers.size(); i-- > 0;) {
        const SLayer& layer = stack.layers[i];
        xml += "  <layer name=\"" + Escaped(layer.name) + "\" src=\"" + LayerFile(i) +
               "\" x=\"0\" y=\"0\" opacity=\"1.0\" visibility=\"" + (layer.visible ? "visible" : "hidden") +
               "\" composite-op=\"" + (layer.blend == EBlend::Multiply ? "svg:multiply" : "svg:src-over") +
               "\"/>\n";
    }
    xml += " </stack>\n</image>\n";
    return xml;
}

// Each PNG is made twice (the zip's header needs its size first): the
// progress counts both.
class COraWriter {
public:
    COraWriter(const SLayerStack& stack, const FWrite& write, const FProgress& progress)
        : stack_(stack), zip_(write), progress_(progress), merged_(stack, false) {}

    void Write();

private:
    void AddPng(const std::string& name, SPngRows picture) {
        const auto row = picture.row;
        picture.row = [this, row](int y) {
            if (progress_ && ++rowsDone_ % 64 == 0) progress_(double(rowsDone_) / double(rowsInAll_));
            return row(y);
        };
        zip_.AddStored(name, [&picture](const FWrite& out) { WritePngRows(picture, out); });
    }

    const SLayerStack& stack_;
    CZipWriter zip_;
    const FProgress& progress_;
    CMergedRows merged_;
    std::vector<uint8_t> scratch_;
    std::vector<uint8_t> thumbnailRow_;
    uint64_t rowsDone_ = 0;
    uint64_t rowsInAll_ = 1;
};

void COraWriter::Write() {
    const double scale = std::min(1.0, double(kThumbnailSide) / std::max(stack_.width, stack_.height));
    const int thumbWidth = std::max(1, int(std::lround(stack_.width * scale)));
    const int thumbHeight = std::max(1, int(std::lround(stack_.height * scale)));
    rowsInAll_ = 2 * (uint64_t(stack_.layers.size() + 1) * uint64_t(stack_.height) + uint64_t(thumbHeight));

    // First and stored as it is, so that the type can be read at a fixed
    // place in the file.
    zip_.AddStored("mimetype", [](const FWrite& out) { out("image/openraster", 16); });
    const std::string xml = StackXml(stack_);
    zip_.AddStored("stack.xml", [&xml](const FWrite& out) { out(xml.data(), xml.size()); });
    for (size_t i = 0; i < stack_.layers.size(); ++i) {
        const SLayer& layer = stack_.layers[i];
        AddPng(LayerFile(i), {stack_.width, stack_.height, layer.hasAlpha, stack_.xDpi, stack_.yDpi,
                              [this, &layer](int y) { return layer.row(y, scratch_); }});
    }
    const bool alpha = stack_.MergedHasAlpha();
    AddPng("mergedimage.png", {stack_.width, stack_.height, alpha, stack_.xDpi, stack_.yDpi,
                               [this](int y) { return merged_.Row(y); }});
    // The thumbnail takes the nearest pixel of the merged page: a preview
    // only, and it needs no more than one merged row at a time.
    const int planes = merged_.Planes();
    thumbnailRow_.resize(size_t(thumbWidth) * size_t(planes));
    AddPng("Thumbnails/thumbnail.png",
           {thumbWidth, thumbHeight, alpha, 0, 0, [&, planes](int y) {
                const int from = int((2 * int64_t(y) + 1) * stack_.height / (2 * int64_t(thumbHeight)));
                const uint8_t* row = merged_.Row(from);
                for (int x = 0; x < thumbWidth; ++x) {
                    const int sx = int((2 * int64_t(x) + 1) * stack_.width / (2 * int64_t(thumbWidth)));
                    std::copy_n(row + size_t(sx) * size_t(planes), planes,
                                thumbnailRow_.begin() + x * planes);
                }
                return static_cast<const uint8_t*>(thumbnailRow_.data());
            }});
    zip_.Finish();
    if (progress_) progress_(1.0);
}

}  // namespace

void WriteOra(const SLayerStack& stack, const FWrite& write, const FProgress& progress) {
    if (stack.model != EColourModel::Rgb)
        throw std::invalid_argument("OpenRaster holds RGB pages only: this page is CMYK");
    if (stack.width < 1 || stack.height < 1 || stack.layers.empty())
        throw std::invalid_argument("a layered file needs a page and a layer");
    COraWriter(stack, write, progress).Write();
}

}  // namespace layered
