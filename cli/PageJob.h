// One page from its input file to its output files, in three stages
// (read, run a filter, write) that a batch may run for different pages at
// once: the one pipeline of both commands.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/CodecOptions.h"
#include "cli/ImageFiles.h"
#include "cli/LayeredFormat.h"
#include "cli/Progress.h"
#include "cli/Raster.h"
namespace cli {

class IPageFilter;

enum class EPageResult { Written, Failed, Interrupted };

struct SPageJob {
    std::string input;
    std::string output;
    bool overwrite = false;
    ELayeredFormat layers = ELayeredFormat::None;
    size_t number = 1;  // its place in the batch, from 1
    size_t count = 1;   // the batch's pages
    // Auto flats' companions of the page: its hints page, its earlier
    // flats and its region map; empty for none.
    std::string hints;
    std::string like;
    std::string regions;
};

// The page as its progress lines name it: the input's name, quoted when it
// must be, and in a batch its place there first.
std::string PageLabel(const SPageJob& job);

// An output besides the flats: written before them, into `fd`, and put in
// place with them. Its writer lets go of what it holds once called.
struct SExtraOutput {
    std::string path;
    std::function<void(int fd, const SCodecOptions& codec)> write;
};

// A page between its stages. A stage that fails or is interrupted says so
// here, and the later stages leave the page alone.
struct SPageInFlight {
    SPageJob job;
    SRaster raster;
    SRaster original;    // the page as read, kept for a layered output
    SRaster hintsLayer;  // the hints page, for a layered output (no pixels: none)
    EImageFormat outputFormat = EImageFormat::Png;
    std::string failure;  // why the page stops, for the user
    bool interrupted = false;
    std::vector<SExtraOutput> extras;  // listed after the flats, in order
    std::vector<std::string> warnings;
    double megapixels = 0;
    double readSeconds = 0;
    double flatSeconds = 0;
    double writeSeconds = 0;

    bool GoesOn() const { return failure.empty() && !interrupted; }
};

// Refuses before any work is done when the output cannot be written:
// cheaper than finding out after flatting a large page. Throws CImageError.
void CheckOutput(const SPageJob& job);

// Runs one stage, turning what it throws into the page's failure.
void Guarded(SPageInFlight& page, const std::function<void()>& stage);

// The stages print nothing: what a page has to say is reported in page
// order by ReportPage, whichever thread ran its stages.
SPageInFlight ReadPage(const SPageJob& job, const SCodecOptions& codec);
void FilterPage(IPageFilter& filter, SPageInFlight& page, CProgressDisplay& display);
// Every output of the page, or none. Lets go of the page's pixels.
void WritePage(SPageInFlight& page, const SCodecOptions& codec);

// The page's warnings on stderr, one line each naming the input; forgets them.
void ReportWarnings(SPageInFlight& page, CProgressDisplay& display);

// Warnings and a failure on stderr, one line each naming the input; the
// outputs' paths on stdout once they are in place; the times on the display.
EPageResult ReportPage(SPageInFlight& page, CProgressDisplay& display);

// The three stages one after another, the display following each.
// `megapixels` is the page's size once it is written, else left alone.
EPageResult RunPage(IPageFilter& filter, const SPageJob& job, const SCodecOptions& codec,
                    CProgressDisplay& display, double& megapixels);

}  // namespace cli
