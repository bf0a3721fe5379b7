#include "cli/PluginRun.h"

#include <chrono>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "cli/Interrupt.h"

namespace cli {

namespace {

sim::SImageSpec SpecFor(const SRaster& raster) {
    sim::SImageSpec imageSpec;
    imageSpec.width = int16_t(raster.width);
    imageSpec.height = int16_t(raster.height);
    imageSpec.imageMode =
        raster.model == EColourModel::Cmyk ? host::plugInModeCMYKColor : host::plugInModeRGBColor;
    imageSpec.planes = int16_t(raster.Planes());
    if (raster.hasAlpha) {
        // A layer whose transparency may be edited: the host hands over
        // the colour planes only, and the transparency stays as it is.
        imageSpec.filterCase = host::filterCaseEditableTransparencyNoSelection;
        imageSpec.outLayerPlanes = int16_t(raster.ColourPlanes());
        // Stepping over the transparency in the page's own pixels lets the
        // host lend them rather than copy out the colour planes.
        imageSpec.layout = sim::ELayout::InterleavedSteps;
        imageSpec.pixelPadding = raster.Planes() - raster.ColourPlanes();
    } else {
        imageSpec.filterCase = host::filterCaseFlatImageNoSelection;
    }
    return imageSpec;
}

// Hosts hand CMYK over as 255 minus the ink, so that 255 is white in every
// mode; the file stores the ink. The same flip goes both ways.
void FlipInk(sim::CHostImage& pixels, const SRaster& raster) {
    if (raster.model != EColourModel::Cmyk) return;
    const size_t planes = size_t(raster.Planes());
    const std::span<uint8_t> bytes = pixels.Bytes();
    if (planes == 4) {
        // Every sample is ink, and 255 - ink is ink with its bits flipped:
        // eight samples at a time.
        uint8_t* p = bytes.data();
        const size_t words = bytes.size() / 8;
        for (size_t i = 0; i < words; ++i, p += 8) {
            uint64_t word;
            std::memcpy(&word, p, 8);
            word = ~word;
            std::memcpy(p, &word, 8);
        }
        for (size_t i = words * 8; i < bytes.size(); ++i) bytes[i] = uint8_t(255 - bytes[i]);
        return;
    }
    for (size_t i = 0; i < bytes.size(); i += planes)
        for (size_t k = 0; k < 4; ++k) bytes[i + k] = uint8_t(255 - bytes[i + k]);
}

}  // namespace

SRunOutcome FlatWithPlugin(sim::CHostSimulator& host, SRaster& raster, const SFlatSettings& settings,
                           CProgressDisplay& display) {
    using Clock = std::chrono::steady_clock;
    // The host keeps the raster's pixels as its document; they come back
    // as the output, or as they were when the run did not succeed.
    FlipInk(raster.pixels, raster);
    host.SetDocument(SpecFor(raster), std::move(raster.pixels));
    host.GiveSettings(settings.depth, settings.paintWhite);
    SRunOutcome outcome;
    // Handing a large page to the host takes a while: heeded after it too.
    if (InterruptRequested()) {
        outcome.interrupted = true;
        host.SetDocument(sim::SImageSpec{}, sim::CHostImage{});
        return outcome;
    }

    Clock::time_point delivered{};
    const int advancesBefore = host.advanceCalls;
    host.onDelivered = [&] {
        display.BeginFlatting(raster.width, raster.height);
        delivered = Clock::now();
    };
    host.onProgress = [&] { display.Update(host.progress.back().done, host.progress.back().total); };
    host.abortTest = [] { return InterruptRequested(); };

    const sim::SRunResult run = host.RunFilter(false);
    outcome.result = run.result;
    for (const auto& [selector, result] : run.calls)
        if (result != host::noErr) {
            outcome.failedSelector = selector;
            break;
        }
    outcome.delivered = delivered != Clock::time_point{};
    outcome.seconds = delivered == Clock::time_point{}
                          ? 0
                          : std::chrono::duration<double>(Clock::now() - delivered).count();
    // The plug-in reports a cancelled pass as a success; only the tool
    // knows the output is half done.
    outcome.interrupted = InterruptRequested();
    if (!host.guardsIntact)
        outcome.fault = "the plug-in wrote outside the image buffers";
    else if (run.Succeeded() && host.advanceCalls == advancesBefore)
        outcome.fault = "the plug-in never asked for the pixels";

    const bool flatted = run.Succeeded() && !outcome.interrupted && outcome.fault.empty();
    raster.pixels = flatted ? host.TakeOutput() : host.TakeInput();
    FlipInk(raster.pixels, raster);
    host.onDelivered = nullptr;
    host.onProgress = nullptr;
    host.abortTest = nullptr;
    host.SetDocument(sim::SImageSpec{}, sim::CHostImage{});  // the pages can be large: let them go now
    return outcome;
}

}  // namespace cli
