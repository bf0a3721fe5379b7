#include "cli/Progress.h"

#include <unistd.h>

#include <algorithm>

namespace cli {

namespace {

constexpr int kBarCells = 30;
constexpr int kLineStep = 10;  // percent between plain lines
constexpr size_t kLabelChars = 32;

// Where each stage starts on the page's scale, and where the next begins:
// about what each costs on a flat-colour page, so that the bar moves
// evenly rather than jumping.
constexpr double kStageStart[4] = {0.0, 0.25, 0.75, 1.0};

const char* const kStageWords[3] = {"reading", "flatting", "writing"};

// The length of a batch's "page N of M: " at the start of `label`, else 0.
size_t PlaceLength(const std::string& label) {
    size_t at = 0;
    auto word = [&](const char* text) {
        const size_t length = std::char_traits<char>::length(text);
        if (label.compare(at, length, text) != 0) return false;
        at += length;
        return true;
    };
    auto number = [&] {
        const size_t start = at;
        while (at < label.size() && label[at] >= '0' && label[at] <= '9') ++at;
        return at > start;
    };
    return word("page ") && number() && word(" of ") && number() && word(": ") ? at : 0;
}

std::string Shortened(const std::string& label) {
    // A batch's "page 2 of 5: " is what says where the batch is: only the
    // name after it is shortened.
    if (const size_t place = PlaceLength(label))
        return label.substr(0, place) + Shortened(label.substr(place));
    if (label.size() <= kLabelChars) return label;
    size_t start = label.size() - (kLabelChars - 3);
    // Never from the middle of a UTF-8 character.
    while (start < label.size() && (static_cast<unsigned char>(label[start]) & 0xC0) == 0x80) ++start;
    return "..." + label.substr(start);
}

}  // namespace

EProgressStyle ProgressStyleFor(FILE* out, bool quiet) {
    if (quiet) return EProgressStyle::Quiet;
    return ::isatty(::fileno(out)) ? EProgressStyle::Bar : EProgressStyle::Lines;
}

void CProgressDisplay::Begin(const std::string& label, EPageStage first) {
    label_ = label;
    shownPercent_ = -1;
    first_ = stage_ = first;
    if (style_ == EProgressStyle::Bar && first == EPageStage::Reading) Show(0);
}

void CProgressDisplay::BeginFlatting(int width, int height) {
    stage_ = EPageStage::Flatting;
    if (style_ == EProgressStyle::Lines)
        PrintLine(label_ + ": flatting " + std::to_string(width) + " x " + std::to_string(height) +
                  " pixels");
    StageDone(0);
}

void CProgressDisplay::BeginWriting() {
    stage_ = EPageStage::Writing;
    if (style_ == EProgressStyle::Lines) PrintLine(label_ + ": writing");
    StageDone(0);
}

void CProgressDisplay::StageDone(double fraction) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (first_ == EPageStage::Flatting) {
        if (stage_ == EPageStage::Flatting) Show(fraction);
        return;
    }
    const int stage = int(stage_);
    Show(kStageStart[stage] + fraction * (kStageStart[stage + 1] - kStageStart[stage]));
}

void CProgressDisplay::Update(int32_t done, int32_t total) {
    // A copy: the poll may release the hold, and with it itself.
    if (holding_ && poll_) {
        const std::function<void()> poll = poll_;
        poll();
    }
    if (total <= 0) return;
    StageDone(double(done) / double(total));
}

void CProgressDisplay::Show(double pageFraction) {
    if (style_ == EProgressStyle::Quiet) return;
    const int percent = int(std::clamp(pageFraction * 100.0, 0.0, 100.0));
    if (style_ == EProgressStyle::Bar) {
        if (percent != shownPercent_ || !barOnScreen_) DrawBar(percent);
        return;
    }
    // Plain lines only when a new tenth is reached: a log stays readable
    // however often the plug-in reports.
    if (percent / kLineStep > std::max(shownPercent_, 0) / kLineStep)
        PrintLine(label_ + ": " + std::to_string(percent / kLineStep * kLineStep) + "%");
    shownPercent_ = std::max(shownPercent_, percent);
}

void CProgressDisplay::DrawBar(int percent) {
    const int filled = percent * kBarCells / 100;
    std::string bar(size_t(filled), '#');
    bar.append(size_t(kBarCells - filled), '-');
    std::fprintf(out_, "\r%s %-8s [%s] %3d%%", Shortened(label_).c_str(), kStageWords[int(stage_)],
                 bar.c_str(), percent);
    std::fflush(out_);
    shownPercent_ = percent;
    barOnScreen_ = true;
}

void CProgressDisplay::PrintLine(const std::string& line) {
    if (holding_) {
        held_ += line + "\n";
        return;
    }
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

void CProgressDisplay::Hold(std::function<void()> poll) {
    holding_ = true;
    poll_ = std::move(poll);
}

void CProgressDisplay::Release() {
    holding_ = false;
    poll_ = nullptr;
    if (held_.empty()) return;
    std::fputs(held_.c_str(), out_);
    std::fflush(out_);
    held_.clear();
}

void CProgressDisplay::Clear() {
    if (!barOnScreen_) return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    barOnScreen_ = false;
}

void CProgressDisplay::Finish(const std::string& label, double megapixels, double readSeconds,
                              double flatSeconds, double writeSeconds) {
    // A page whose every stage this display followed ends its bar full.
    if (label == label_ && first_ == EPageStage::Reading) Show(1.0);
    Clear();
    if (style_ == EProgressStyle::Quiet) return;
    const double seconds = readSeconds + flatSeconds + writeSeconds;
    const double rate = megapixels / std::max(seconds, 1e-6);
    std::fprintf(out_, "%s: %.2f MP flatted in %.2f s (read %.2f s, flat %.2f s, write %.2f s; %.1f MP/s)\n",
                 label.c_str(), megapixels, seconds, readSeconds, flatSeconds, writeSeconds, rate);
    std::fflush(out_);
}

}  // namespace cli
