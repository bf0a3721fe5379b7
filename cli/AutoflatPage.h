// One line-art page to its flats, and to its region map when asked: read,
// filled region by region with the lines melted, and written as safely as
// a flatted page is.
#pragma once

#include <cstdint>

#include "cli/AutoflatOptions.h"
#include "cli/CodecOptions.h"
#include "cli/PageJob.h"
#include "cli/Progress.h"

namespace cli {

// What auto flats take for a page of this size and layout, with a hints
// page of its size when `hints`, and a label map when `map`.
uint64_t AutoflatMemoryNeed(uint32_t width, uint32_t height, int planes, bool hasAlpha, bool hints, bool map);

// `megapixels` is the page's size once it is written, else left alone.
EPageResult AutoflatPage(const SPageJob& job, const SAutoflatOptions& options, const SCodecOptions& codec,
                         CProgressDisplay& display, double& megapixels);

}  // namespace cli
