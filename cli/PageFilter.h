// What a page goes through between being read and being written: the
// plug-in's flatting (`vandrel flat`) or auto flats (`vandrel autoflat`).
// The page's reading, writing, progress and safety are the pipeline's
// (PageJob.h), the same for both.
#pragma once

#include "cli/CodecOptions.h"
#include "cli/PageJob.h"
#include "cli/Progress.h"

namespace cli {

class IPageFilter {
public:
    virtual ~IPageFilter() = default;

    // What the readers must know of the filter: the memory a page of a
    // size takes through it, whether its pages are line art.
    virtual void SetReading(SCodecOptions& files) const = 0;

    // Turns page.raster into its flats, or sets page.interrupted. Outputs
    // besides the flats go in page.extras, written with them. Throws
    // CImageError; the progress display is at the filter's stage.
    virtual void Run(SPageInFlight& page, CProgressDisplay& display) = 0;
};

}  // namespace cli
