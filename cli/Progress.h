// What the user sees while a page is flatted: a bar redrawn in place on a
// terminal, a few plain lines when the output goes to a log or a pipe,
// and the speed at the end. Everything goes to stderr so that stdout
// carries only the paths of the files written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace cli {

enum class EProgressStyle { Bar, Lines, Quiet };

EProgressStyle ProgressStyleFor(FILE* out, bool quiet);

class CProgressDisplay {
public:
    explicit CProgressDisplay(EProgressStyle style, FILE* out = stderr) : style_(style), out_(out) {}

    // The plug-in has the pixels and starts flatting them.
    void Begin(const std::string& label, int width, int height);
    // The plug-in's own progress report: `done` of `total` rows.
    void Update(int32_t done, int32_t total);
    // Takes the bar off the screen before another message is printed.
    void Clear();
    void Finish(double megapixels, double seconds);

private:
    void DrawBar(int percent);

    EProgressStyle style_;
    FILE* out_;
    std::string label_;
    int shownPercent_ = -1;
    bool barOnScreen_ = false;
};

}  // namespace cli
