// What the user sees while a page is read, flatted and written: a bar
// redrawn in place on a terminal, a few plain lines when the output goes to
// a log or a pipe, and the times and speed at the end. Everything goes to
// stderr so that stdout carries only the paths of the files written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace cli {

enum class EProgressStyle { Bar, Lines, Quiet };

EProgressStyle ProgressStyleFor(FILE* out, bool quiet);

// The three parts of a page's work, in order.
enum class EPageStage { Reading, Flatting, Writing };

class CProgressDisplay {
public:
    explicit CProgressDisplay(EProgressStyle style, FILE* out = stderr) : style_(style), out_(out) {}

    // A page starts at `first`: Reading when the display follows it from
    // its file to its output, Flatting when others read and write it.
    void Begin(const std::string& label, EPageStage first);
    // The plug-in has the pixels and starts flatting them.
    void BeginFlatting(int width, int height);
    // The plug-in's own progress report: `done` of `total` rows.
    void Update(int32_t done, int32_t total);
    // The output file is about to be written.
    void BeginWriting();
    // The share of the current stage's file work done, 0 to 1.
    void StageDone(double fraction);
    // Takes the bar off the screen before another message is printed.
    void Clear();
    // Keeps the plain lines of the page being followed back until Release,
    // while the page before it, overlapping it, has not been reported;
    // `poll` is called at each progress report meanwhile, to report that
    // page once it can.
    void Hold(std::function<void()> poll);
    void Release();
    // A page is written: its megapixels and what each stage took.
    void Finish(const std::string& label, double megapixels, double readSeconds, double flatSeconds,
                double writeSeconds);

private:
    void Show(double pageFraction);
    void DrawBar(int percent);
    void PrintLine(const std::string& line);

    EProgressStyle style_;
    FILE* out_;
    std::string label_;
    EPageStage first_ = EPageStage::Reading;
    EPageStage stage_ = EPageStage::Reading;
    int shownPercent_ = -1;
    bool barOnScreen_ = false;
    bool holding_ = false;
    std::string held_;
    std::function<void()> poll_;
};

}  // namespace cli
