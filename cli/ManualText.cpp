#include "cli/ManualText.h"

#include <algorithm>
#include <sstream>

namespace cli {

namespace {

constexpr size_t kIndent = 2;     // a section's text
constexpr size_t kTagIndent = 8;  // the text of a tagged paragraph
constexpr char kUnbreakable = 1;  // "\ ": a space the filling may not break

// One request or text line split into its words, quotes honoured.
std::vector<std::string> Arguments(std::string_view text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i == text.size()) break;
        std::string word;
        if (text[i] == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) word += text[i];
            ++i;
        } else {
            for (; i < text.size() && text[i] != ' '; ++i) word += text[i];
        }
        words.push_back(word);
    }
    return words;
}

// Escapes to the characters they stand for; font changes to nothing.
std::string Unescape(std::string_view text) {
    static const std::pair<std::string_view, std::string_view> kNamed[] = {
        {"(em", "\u2014"}, {"(en", "\u2013"}, {"(aq", "'"}, {"(lq", "\u201c"}, {"(rq", "\u201d"},
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        if (next == 'f') {
            ++i;  // the font's one-letter name
        } else if (next == '-') {
            out += '-';
        } else if (next == 'e') {
            out += '\\';
        } else if (next == ' ' || next == '~') {
            out += kUnbreakable;
        } else if (next == '&') {
        } else {
            const auto named = std::find_if(std::begin(kNamed), std::end(kNamed), [&](const auto& entry) {
                return text.substr(i, entry.first.size()) == entry.first;
            });
            if (named != std::end(kNamed)) {
                out += named->second;
                i += named->first.size() - 1;
            } else {
                out += next;
            }
        }
    }
    return out;
}

// Columns a UTF-8 text takes on a terminal.
size_t Columns(std::string_view text) {
    return size_t(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

class CTextWriter {
public:
    explicit CTextWriter(size_t width) : width_(width) {}

    void Heading(const std::string& name) {
        Break();
        if (!out_.empty()) out_ += '\n';
        out_ += name + '\n';
        indent_ = kIndent;
        gap_ = false;
        sectionText_ = false;
    }
    void Paragraph() {
        Break();
        indent_ = kIndent;
        gap_ = sectionText_;
    }
    void Tagged() {
        Paragraph();
        awaitingTag_ = true;
    }
    // Text in fill mode; a tagged paragraph's first text is its tag.
    void Text(const std::string& text) {
        if (awaitingTag_) {
            awaitingTag_ = false;
            StartLine();
            out_ += std::string(kIndent, ' ');
            line_ = kIndent;
            for (const std::string& word : Arguments(text)) {
                if (line_ > kIndent) Put(" ");
                Put(word);
            }
            indent_ = kTagIndent;
            // A short tag shares its line with the text; the text's first
            // word brings its own space.
            if (line_ + 1 < kTagIndent) {
                out_ += std::string(kTagIndent - 1 - line_, ' ');
                line_ = kTagIndent - 1;
                open_ = true;
            } else {
                Break();
            }
            return;
        }
        if (fill_) {
            for (const std::string& word : Arguments(text)) Word(word);
        } else {
            StartLine();
            out_ += std::string(indent_, ' ') + text;
            line_ = indent_ + Columns(text);
            Break();
        }
    }
    void Break() {
        if (open_) out_ += '\n';
        open_ = false;
        line_ = 0;
    }
    void Fill(bool on) {
        Break();
        fill_ = on;
    }
    std::string Finish() {
        Break();
        std::replace(out_.begin(), out_.end(), kUnbreakable, ' ');
        return out_;
    }

private:
    void StartLine() {
        if (gap_) out_ += '\n';
        gap_ = false;
        sectionText_ = true;
    }
    void Word(const std::string& word) {
        if (open_ && line_ + 1 + Columns(word) > width_) Break();
        if (!open_) {
            StartLine();
            out_ += std::string(indent_, ' ');
            line_ = indent_;
            open_ = true;
        } else {
            Put(" ");
        }
        Put(word);
    }
    void Put(const std::string& text) {
        out_ += text;
        line_ += Columns(text);
        open_ = true;
    }

    size_t width_;
    std::string out_;
    size_t indent_ = kIndent;
    size_t line_ = 0;
    bool open_ = false;
    bool gap_ = false;
    bool fill_ = true;
    bool awaitingTag_ = false;
    bool sectionText_ = false;  // the section has a line already
};

// A font request's words: .B and .I join theirs with spaces, the
// alternating ones (.BR, .IR...) without.
std::string FontText(const std::string& request, const std::vector<std::string>& words) {
    std::string text;
    const bool alternating = request.size() == 2;
    for (const std::string& word : words) {
        if (!text.empty() && !alternating) text += ' ';
        text += word;
    }
    // Back into one argument, with its spaces kept as spaces.
    std::string joined;
    for (char c : text) joined += c == ' ' && alternating ? kUnbreakable : c;
    return joined;
}

template <typename OnLine>
void EachLine(std::string_view roff, OnLine&& onLine) {
    std::istringstream lines{std::string(roff)};
    for (std::string line; std::getline(lines, line);) onLine(line);
}

bool IsRequest(const std::string& line, std::string& request, std::string& rest) {
    if (line.empty() || (line[0] != '.' && line[0] != '\'')) return false;
    const size_t end = line.find(' ');
    request = line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    rest = end == std::string::npos ? std::string() : line.substr(end + 1);
    return true;
}

std::string SectionName(const std::string& rest) {
    std::string name;
    for (const std::string& word : Arguments(rest)) name += (name.empty() ? "" : " ") + word;
    return Unescape(name);
}

}  // namespace

std::string RenderManualSections(std::string_view roff, const std::vector<std::string>& sections,
                                 size_t width) {
    CTextWriter writer(width);
    bool shown = false;
    EachLine(roff, [&](const std::string& line) {
        std::string request, rest;
        if (IsRequest(line, request, rest)) {
            if (request == "SH") {
                const std::string name = SectionName(rest);
                shown = std::find(sections.begin(), sections.end(), name) != sections.end();
                if (shown) writer.Heading(name);
                return;
            }
            if (!shown) return;
            if (request == "PP" || request == "P" || request == "LP" || request == "SS") {
                writer.Paragraph();
                if (request == "SS") writer.Text(SectionName(rest));
            } else if (request == "TP") {
                writer.Tagged();
            } else if (request == "IP") {
                writer.Tagged();
                writer.Text(Unescape(rest));
            } else if (request == "br") {
                writer.Break();
            } else if (request == "nf" || request == "fi") {
                writer.Fill(request == "fi");
            } else if (request.size() >= 1 && request.size() <= 2 &&
                       std::all_of(request.begin(), request.end(),
                                   [](char c) { return c == 'B' || c == 'I' || c == 'R'; })) {
                std::vector<std::string> words;
                for (const std::string& word : Arguments(rest)) words.push_back(Unescape(word));
                writer.Text(FontText(request, words));
            }
            return;
        }
        if (shown) writer.Text(Unescape(line));
    });
    return writer.Finish();
}

std::vector<std::string> ManualSections(std::string_view roff) {
    std::vector<std::string> names;
    EachLine(roff, [&](const std::string& line) {
        std::string request, rest;
        if (IsRequest(line, request, rest) && request == "SH") names.push_back(SectionName(rest));
    });
    return names;
}

std::vector<std::string> ManualOptions(std::string_view roff, const std::string& section) {
    std::vector<std::string> options;
    std::istringstream text(RenderManualSections(roff, {section}, 1000));
    // Tags are the lines at the section's own indent; each names its
    // option's spellings, separated by commas, each followed by its argument.
    for (std::string line; std::getline(text, line);) {
        if (line.size() <= kIndent || line[kIndent] != '-' || line[kIndent - 1] != ' ') continue;
        std::string tag = line.substr(kIndent);
        const size_t body = tag.find("   ");  // a short tag shares its line with the text
        if (body != std::string::npos) tag.resize(body);
        std::istringstream spellings(tag);
        for (std::string spelling; std::getline(spellings, spelling, ',');) {
            spelling.erase(0, spelling.find_first_not_of(' '));
            spelling = spelling.substr(0, spelling.find(' '));
            if (spelling.size() > 1 && spelling[0] == '-') options.push_back(spelling);
        }
    }
    return options;
}

}  // namespace cli
