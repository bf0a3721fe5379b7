// `vandrel autoflat`'s filter: a line-art page to its flats, filled region
// by region with the lines melted, and to its region map when asked.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "cli/AutoflatOptions.h"
#include "cli/CodecOptions.h"
#include "cli/PageFilter.h"
#include "cli/PaletteFile.h"

namespace cli {

// What auto flats take for a page of this size and layout, with a hints
// page of its size when `hints`, earlier flats when `like`, and a label map
// when `map`.
uint64_t AutoflatMemoryNeed(uint32_t width, uint32_t height, int planes, bool hasAlpha, bool hints, bool map,
                            bool like = false);

class CAutoflatFilter : public IPageFilter {
public:
    // `codec` reads the hints page; its threads are the library's workers.
    // `palette` is the one --palette names, read already.
    CAutoflatFilter(const SAutoflatOptions& options, const SCodecOptions& codec,
                    std::vector<SPaletteColour> palette)
        : options_(options), codec_(codec), palette_(std::move(palette)) {}

    void SetReading(SCodecOptions& files) const override;
    void Run(SPageInFlight& page, CProgressDisplay& display) override;

private:
    SAutoflatOptions options_;
    SCodecOptions codec_;
    std::vector<SPaletteColour> palette_;
};

}  // namespace cli
