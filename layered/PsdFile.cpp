#include "layered/PsdFile.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include "layered/MergedRows.h"
#include "layered/PackBits.h"

namespace layered {

namespace {

// Numbers in the file are big-endian.
class CBytes {
public:
    void U8(unsigned value) { bytes.push_back(char(uint8_t(value))); }
    void U16(unsigned value) {
        U8(value >> 8);
        U8(value);
    }
    void U32(uint64_t value) {
        U16(unsigned(value >> 16) & 0xFFFF);
        U16(unsigned(value) & 0xFFFF);
    }
    void Text(const std::string& text) { bytes += text; }
    void PadTo(size_t multiple) {
        while (bytes.size() % multiple) U8(0);
    }
    std::string bytes;
};

// One channel of a layer or of the merged page: which plane of the rows it
// takes, and the coded length of each row, measured before anything is
// written because the records ahead of the data give the lengths.
struct SChannel {
    int16_t id = 0;  // 0.. the colour planes, -1 transparency
    int plane = 0;
    bool inverted = false;  // CMYK is stored as 255 - ink
    std::vector<uint16_t> rows;

    uint64_t CodedBytes() const {
        uint64_t sum = 0;
        for (uint16_t bytes : rows) sum += bytes;
        return sum;
    }
};

std::vector<SChannel> ChannelsFor(const SLayerStack& stack, bool alpha) {
    std::vector<SChannel> channels;
    const bool cmyk = stack.model == EColourModel::Cmyk;
    for (int p = 0; p < stack.ColourPlanes(); ++p) channels.push_back({int16_t(p), p, cmyk, {}});
    if (alpha) channels.push_back({-1, stack.ColourPlanes(), false, {}});
    return channels;
}

// The rows of one picture (a layer, or the merged page) and its channels.
struct SPicture {
    std::function<const uint8_t*(int y)> row;
    int planes = 0;
    std::vector<SChannel> channels;
};

class CRowCoder {
public:
    explicit CRowCoder(int width) : plane_(size_t(width)) {}

    const std::vector<uint8_t>& Code(const uint8_t* row, int planes, const SChannel& channel) {
        for (size_t x = 0; x < plane_.size(); ++x) {
            const uint8_t sample = row[x * size_t(planes) + size_t(channel.plane)];
            plane_[x] = channel.inverted ? uint8_t(255 - sample) : sample;
        }
        coded_.clear();
        PackBits(plane_.data(), plane_.size(), coded_);
        return coded_;
    }

private:
    std::vector<uint8_t> plane_;
    std::vector<uint8_t> coded_;
};

// Names are kept twice: as a Pascal string in the system's old character
// set (ASCII here, the rest as '?') and in full as UTF-16.
std::u16string Utf16(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : -1;
        if (extra < 0 || i + size_t(extra) >= text.size()) {
            out.push_back(u'?');
            ++i;
            continue;
        }
        unsigned code = extra == 0 ? c : extra == 1 ? (c & 0x1F) : (c & 0x0F);
        for (int k = 1; k <= extra; ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + size_t(k)]) & 0x3F);
        out.push_back(char16_t(code));
        i += size_t(extra) + 1;
    }
    return out;
}

void LayerRecord(CBytes& out, const SLayerStack& stack, const SLayer& layer, const SPicture& picture) {
    out.U32(0);  // top, left, bottom, right: the whole page
    out.U32(0);
    out.U32(uint64_t(stack.height));
    out.U32(uint64_t(stack.width));
    out.U16(unsigned(picture.channels.size()));
    for (const SChannel& channel : picture.channels) {
        out.U16(uint16_t(channel.id));
        out.U32(2 + 2 * uint64_t(stack.height) + channel.CodedBytes());
    }
    out.Text("8BIM");
    out.Text(layer.blend == EBlend::Multiply ? "mul " : "norm");
    out.U8(255);  // opacity
    out.U8(0);    // clipping: base
    // Bit 1 set hides the layer; bit 3 says bit 4 is meaningful (it is 0:
    // the pixels count).
    out.U8((layer.visible ? 0 : 2) | 8);
    out.U8(0);

    CBytes extra;
    extra.U32(0);  // no layer mask
    extra.U32(0);  // no blending ranges
    const std::u16string name = Utf16(layer.name);
    std::string pascal;
    for (char16_t c : name.substr(0, 255)) pascal += c < 0x80 ? char(c) : '?';
    extra.U8(unsigned(pascal.size()));
    extra.Text(pascal);
    extra.PadTo(4);
    extra.Text("8BIMluni");
    extra.U32(4 + 2 * uint64_t(name.size()));
    extra.U32(name.size());
    for (char16_t c : name) extra.U16(c);
    extra.PadTo(2);
    out.U32(extra.bytes.size());
    out.Text(extra.bytes);
}

std::string ImageResources(const SLayerStack& stack) {
    CBytes out;
    auto resource = [&](unsigned id, const std::string& data) {
        out.Text("8BIM");
        out.U16(id);
        out.U16(0);  // an empty name, padded to even
        out.U32(data.size());
        out.Text(data);
        out.PadTo(2);
    };
    if (stack.xDpi > 0 && stack.yDpi > 0) {
        // ResolutionInfo: pixels per inch as 16.16 fixed point, whatever
        // unit the page is shown in.
        CBytes info;
        const unsigned unit = stack.centimetres ? 2 : 1;
        for (double dpi : {stack.xDpi, stack.yDpi}) {
            info.U32(uint64_t(std::llround(std::fmin(dpi, 32767.0) * 65536.0)));
            info.U16(unit);  // shown as pixels per inch or per centimetre
            info.U16(unit);  // lengths in inches or centimetres
        }
        resource(0x03ED, info.bytes);
    }
    if (!stack.iccProfile.empty()) resource(0x040F, stack.iccProfile);
    CBytes section;
    section.U32(out.bytes.size());
    section.Text(out.bytes);
    return section.bytes;
}

class CPsdWriter {
public:
    CPsdWriter(const SLayerStack& stack, const FWrite& write, const FProgress& progress)
        : stack_(stack), write_(write), progress_(progress), merged_(stack, true), coder_(stack.width) {}

    void Write();

private:
    void Measure(SPicture& picture);
    void WriteChannel(const SPicture& picture, const SChannel& channel);
    void Put(const std::string& bytes) { write_(bytes.data(), bytes.size()); }
    void Step() {
        if (progress_ && ++rowsDone_ % 64 == 0) progress_(double(rowsDone_) / double(rowsInAll_));
    }

    const SLayerStack& stack_;
    const FWrite& write_;
    const FProgress& progress_;
    CMergedRows merged_;
    CRowCoder coder_;
    std::vector<uint8_t> scratch_;
    uint64_t rowsDone_ = 0;
    uint64_t rowsInAll_ = 1;
};

void CPsdWriter::Measure(SPicture& picture) {
    for (SChannel& channel : picture.channels) channel.rows.reserve(size_t(stack_.height));
    for (int y = 0; y < stack_.height; ++y) {
        const uint8_t* row = picture.row(y);
        for (SChannel& channel : picture.channels)
            channel.rows.push_back(uint16_t(coder_.Code(row, picture.planes, channel).size()));
        Step();
    }
}

void CPsdWriter::WriteChannel(const SPicture& picture, const SChannel& channel) {
    for (int y = 0; y < stack_.height; ++y) {
        const std::vector<uint8_t>& coded = coder_.Code(picture.row(y), picture.planes, channel);
        if (coded.size() != channel.rows[size_t(y)])
            throw std::logic_error("a layer's row changed between the passes");
        write_(coded.data(), coded.size());
        Step();
    }
}

void CPsdWriter::Write() {
    std::vector<SPicture> layers;
    for (const SLayer& layer : stack_.layers) {
        SPicture picture;
        picture.row = [this, &layer](int y) { return layer.row(y, scratch_); };
        picture.planes = stack_.ColourPlanes() + (layer.hasAlpha ? 1 : 0);
        picture.channels = ChannelsFor(stack_, layer.hasAlpha);
        layers.push_back(std::move(picture));
    }
    SPicture merged;
    merged.row = [this](int y) { return merged_.Row(y); };
    merged.planes = merged_.Planes();
    merged.channels = ChannelsFor(stack_, stack_.MergedHasAlpha());
    uint64_t passes = layers.size() + 1 + merged.channels.size();
    for (const SPicture& picture : layers) passes += picture.channels.size();
    rowsInAll_ = passes * uint64_t(stack_.height);

    for (SPicture& picture : layers) Measure(picture);
    Measure(merged);

    CBytes header;
    header.Text("8BPS");
    header.U16(1);
    header.U16(0), header.U16(0), header.U16(0);
    header.U16(unsigned(merged.channels.size()));
    header.U32(uint64_t(stack_.height));
    header.U32(uint64_t(stack_.width));
    header.U16(8);
    header.U16(stack_.model == EColourModel::Cmyk ? 4 : 3);
    header.U32(0);  // no colour mode data
    Put(header.bytes);
    Put(ImageResources(stack_));

    CBytes records;
    // A negative count says the merged page's extra channel is its
    // transparency rather than a saved selection.
    const int count = int(layers.size());
    records.U16(uint16_t(stack_.MergedHasAlpha() ? -count : count));
    uint64_t data = 0;
    for (size_t i = 0; i < layers.size(); ++i) {
        LayerRecord(records, stack_, stack_.layers[i], layers[i]);
        for (const SChannel& channel : layers[i].channels)
            data += 2 + 2 * uint64_t(stack_.height) + channel.CodedBytes();
    }
    const uint64_t info = records.bytes.size() + data;
    const uint64_t infoPadded = info + (info & 1);
    if (infoPadded + 8 > std::numeric_limits<uint32_t>::max())
        throw std::invalid_argument("the layers take more than 4 GB coded, more than a .psd holds");
    CBytes lengths;
    lengths.U32(infoPadded + 8);  // the layer and mask section
    lengths.U32(infoPadded);      // its layer info
    Put(lengths.bytes);
    Put(records.bytes);
    for (const SPicture& picture : layers)
        for (const SChannel& channel : picture.channels) {
            CBytes table;
            table.U16(1);  // run-length coded
            for (uint16_t bytes : channel.rows) table.U16(bytes);
            Put(table.bytes);
            WriteChannel(picture, channel);
        }
    CBytes tail;
    if (info & 1) tail.U8(0);
    tail.U32(0);  // no global layer mask
    // The merged page: one table for all of its channels, then the data.
    tail.U16(1);
    for (const SChannel& channel : merged.channels)
        for (uint16_t bytes : channel.rows) tail.U16(bytes);
    Put(tail.bytes);
    for (const SChannel& channel : merged.channels) WriteChannel(merged, channel);
    if (progress_) progress_(1.0);
}

}  // namespace

void WritePsd(const SLayerStack& stack, const FWrite& write, const FProgress& progress) {
    if (stack.width < 1 || stack.height < 1 || stack.width > kPsdMaxSide || stack.height > kPsdMaxSide)
        throw std::invalid_argument("a .psd holds pages of 1 to " + std::to_string(kPsdMaxSide) +
                                    " pixels a side, not " + std::to_string(stack.width) + " x " +
                                    std::to_string(stack.height));
    if (stack.layers.empty()) throw std::invalid_argument("a layered file needs a layer");
    CPsdWriter(stack, write, progress).Write();
}

}  // namespace layered
