#include "cli/Progress.h"

#include <unistd.h>

#include <algorithm>

namespace cli {

namespace {

constexpr int kBarCells = 30;
constexpr int kLineStep = 10;  // percent between plain lines
constexpr size_t kLabelChars = 32;

std::string Shortened(const std::string& label) {
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

void CProgressDisplay::Begin(const std::string& label, int width, int height) {
    label_ = label;
    shownPercent_ = -1;
    if (style_ == EProgressStyle::Lines) {
        std::fprintf(out_, "%s: flatting %d x %d pixels\n", label_.c_str(), width, height);
        std::fflush(out_);
    } else if (style_ == EProgressStyle::Bar) {
        DrawBar(0);
    }
}

void CProgressDisplay::Update(int32_t done, int32_t total) {
    if (style_ == EProgressStyle::Quiet || total <= 0) return;
    const int percent = int(std::clamp<int64_t>(int64_t(done) * 100 / total, 0, 100));
    if (style_ == EProgressStyle::Bar) {
        if (percent != shownPercent_) DrawBar(percent);
        return;
    }
    // Plain lines only when a new tenth is reached: a log stays readable
    // however often the plug-in reports.
    if (percent / kLineStep > std::max(shownPercent_, 0) / kLineStep) {
        std::fprintf(out_, "%s: %d%%\n", label_.c_str(), percent / kLineStep * kLineStep);
        std::fflush(out_);
    }
    shownPercent_ = std::max(shownPercent_, percent);
}

void CProgressDisplay::DrawBar(int percent) {
    const int filled = percent * kBarCells / 100;
    std::string bar(size_t(filled), '#');
    bar.append(size_t(kBarCells - filled), '-');
    std::fprintf(out_, "\r%s [%s] %3d%%", Shortened(label_).c_str(), bar.c_str(), percent);
    std::fflush(out_);
    shownPercent_ = percent;
    barOnScreen_ = true;
}

void CProgressDisplay::Clear() {
    if (!barOnScreen_) return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    barOnScreen_ = false;
}

void CProgressDisplay::Finish(double megapixels, double seconds) {
    Clear();
    if (style_ == EProgressStyle::Quiet) return;
    const double rate = megapixels / std::max(seconds, 1e-6);
    std::fprintf(out_, "%s: %.2f MP flatted in %.2f s (%.1f MP/s)\n", label_.c_str(), megapixels, seconds,
                 rate);
    std::fflush(out_);
}

}  // namespace cli
