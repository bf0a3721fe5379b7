// One page from its input file to its output file, in three stages (read,
// flat, write) that a batch may run for different pages at once.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/CodecOptions.h"
#include "cli/FlatSettings.h"
#include "cli/ImageFiles.h"
#include "cli/LayeredFormat.h"
#include "cli/Progress.h"
#include "cli/Raster.h"
#include "sim/HostSimulator.h"

namespace cli {

enum class EPageResult { Written, Failed, Interrupted };

struct SPageJob {
    std::string input;
    std::string output;
    bool overwrite = false;
    ELayeredFormat layers = ELayeredFormat::None;
    size_t number = 1;  // its place in the batch, from 1
    size_t count = 1;   // the batch's pages
};

// The page as its progress lines name it: the input's name, quoted when it
// must be, and in a batch its place there first.
std::string PageLabel(const SPageJob& job);

// A page between its stages. A stage that fails or is interrupted says so
// here, and the later stages leave the page alone.
struct SPageInFlight {
    SPageJob job;
    SRaster raster;
    SRaster original;  // the page as read, kept for a layered output
    EImageFormat outputFormat = EImageFormat::Png;
    std::string failure;  // why the page stops, for the user
    bool interrupted = false;
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
void FlatReadPage(sim::CHostSimulator& host, SPageInFlight& page, const SFlatSettings& settings,
                  CProgressDisplay& display);
// Lets go of the page's pixels once they are written.
void WritePage(SPageInFlight& page, const SCodecOptions& codec);

// Warnings and a failure on stderr, one line each naming the input; the
// output's path on stdout once it is in place; the times on the display.
EPageResult ReportPage(const SPageInFlight& page, CProgressDisplay& display);

// The three stages one after another, the display following each.
EPageResult FlatPage(sim::CHostSimulator& host, const SPageJob& job, const SFlatSettings& settings,
                     const SCodecOptions& codec, CProgressDisplay& display);

}  // namespace cli
