#include "cli/PaletteFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <set>
#include <string_view>

#include "cli/ImageError.h"
#include "cli/InputFile.h"

namespace cli {

namespace {

// Far more than any palette a person writes; a larger file is not a palette.
constexpr size_t kMaxPaletteBytes = size_t(4) << 20;
constexpr uint8_t kLineArtLimit = 8;

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A line as a message can show it: a few dozen characters at most (a
// line of megabytes is not a colour), control characters escaped, so that
// no escape sequence reaches the terminal.
std::string Shown(std::string_view text) {
    constexpr size_t kMostShown = 40;
    std::string shown;
    size_t at = 0;
    for (; at < text.size() && at < kMostShown; ++at) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
            char escape[8];
            std::snprintf(escape, sizeof escape, c == '"' || c == '\\' ? "\\%c" : "\\x%02x", c);
            shown += escape;
        } else {
            shown += char(c);
        }
    }
    if (at < text.size()) {
        // Not in the middle of a character.
        while (!shown.empty() && (static_cast<unsigned char>(shown.back()) & 0xC0) == 0x80) shown.pop_back();
        if (!shown.empty() && static_cast<unsigned char>(shown.back()) >= 0xC0) shown.pop_back();
        shown += "...";
    }
    return shown;
}

[[noreturn]] void Fail(size_t line, const std::string& why) {
    throw CImageError("palette line " + std::to_string(line) + ": " + why);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

SPaletteColour HexColour(std::string_view text, size_t line) {
    const std::string_view digits = text.substr(text.front() == '#' ? 1 : 0);
    uint8_t value[3]{};
    bool good = digits.size() == 6;
    for (size_t i = 0; good && i < 6; i += 2) {
        const int high = HexDigit(digits[i]), low = HexDigit(digits[i + 1]);
        good = high >= 0 && low >= 0;
        value[i / 2] = uint8_t(high * 16 + low);
    }
    if (!good) Fail(line, "expected a colour as #rrggbb, found \"" + Shown(text) + "\"");
    return {value[0], value[1], value[2]};
}

// "R G B [name]", each 0..255 in decimal.
SPaletteColour GimpColour(std::string_view text, size_t line) {
    uint8_t value[3]{};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (uint8_t& channel : value) {
        while (at < end && (*at == ' ' || *at == '\t')) ++at;
        unsigned number = 0;
        const auto [next, error] = std::from_chars(at, end, number);
        if (error != std::errc() || next == at || number > 255 ||
            (next < end && *next != ' ' && *next != '\t'))
            Fail(line, "expected three numbers 0-255 (red green blue), found \"" + Shown(text) + "\"");
        channel = uint8_t(number);
        at = next;
    }
    return {value[0], value[1], value[2]};
}

}  // namespace

std::vector<SPaletteColour> ParsePalette(const std::string& text) {
    if (text.find('\0') != std::string::npos) throw CImageError("the palette is not a text file");
    std::vector<std::string_view> lines;
    // Some editors begin a UTF-8 file with a byte-order mark.
    static const std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    for (size_t at = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0; at <= text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(std::string_view(text).substr(at, end - at));
        at = end + 1;
    }
    const bool gimp = !lines.empty() && Trimmed(lines.front()) == "GIMP Palette";
    std::vector<SPaletteColour> colours;
    std::set<uint32_t> seen;
    for (size_t i = gimp ? 1 : 0; i < lines.size(); ++i) {
        const std::string_view line = Trimmed(lines[i]);
        if (line.empty()) continue;
        SPaletteColour colour;
        if (gimp) {
            if (line.front() == '#' || line.rfind("Name:", 0) == 0 || line.rfind("Columns:", 0) == 0)
                continue;
            colour = GimpColour(line, i + 1);
        } else {
            colour = HexColour(line, i + 1);
        }
        if (std::max({colour.r, colour.g, colour.b}) <= kLineArtLimit)
            Fail(i + 1, "a colour this dark would be taken for line art and melted away");
        if (seen.insert(uint32_t(colour.r) << 16 | uint32_t(colour.g) << 8 | colour.b).second)
            colours.push_back(colour);
    }
    if (colours.empty()) throw CImageError("the palette holds no colours");
    return colours;
}

std::vector<SPaletteColour> ReadPaletteFile(const std::string& path) {
    CheckInputFile(path, EInputKind::Palette);
    const int fd = OpenInputFile(path, EInputKind::Palette);
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            throw CImageError(std::string("cannot read the palette: ") + std::strerror(error));
        }
        if (got == 0) break;
        text.append(buffer, size_t(got));
        if (text.size() > kMaxPaletteBytes) {
            ::close(fd);
            throw CImageError("the palette is larger than 4 MB: not a palette file");
        }
    }
    ::close(fd);
    return ParsePalette(text);
}

std::string GimpPaletteText(const std::string& name, const std::vector<SPaletteColour>& colours) {
    std::string text = "GIMP Palette\nName: " + name + "\nColumns: 16\n#\n";
    char line[64];
    for (size_t i = 0; i < colours.size(); ++i) {
        std::snprintf(line, sizeof line, "%3d %3d %3d\tregion %zu\n", colours[i].r, colours[i].g,
                      colours[i].b, i);
        text += line;
    }
    return text;
}

}  // namespace cli
