#include "cli/PluginFailure.h"

#include "hostapi/HostInterface.h"

namespace cli {

namespace {

std::string Stage(const SPluginFailure& f) {
    switch (f.selector) {
        case host::filterSelectorParameters:
            return "while taking its settings";
        case host::filterSelectorPrepare:
            return "while preparing";
        case host::filterSelectorStart:
            return f.pixelsDelivered ? "while flatting" : "before flatting";
        case host::filterSelectorContinue:
            return "while flatting";
        case host::filterSelectorFinish:
            return "while finishing";
        default:
            return "";
    }
}

std::string Reason(const SPluginFailure& f) {
    switch (f.result) {
        case host::memFullErr:
            return "there was not enough memory for this page";
        case host::userCanceledErr:
            return "it was cancelled";
        case host::paramErr:
        case host::nilHandleErr:
            return "it asked the host for something the host could not give";
        case host::filterBadMode:
            return "it cannot work on this kind of image";
        case host::filterBadParameters:
            // The plug-in turns every failure of its own into this one code.
            // This host always offers what the plug-in asks for and hands it
            // valid settings, so only resources are left: memory for the page
            // (its own or the host's copies) or for a deep search, or the
            // threads of the pass.
            return "it ran out of memory (for the page, or for a search as deep as --depth asks) or could "
                   "not start its threads; a smaller --depth or a smaller page may pass";
        default:
            return "";
    }
}

}  // namespace

std::string DescribePluginFailure(const SPluginFailure& f) {
    const std::string stage = Stage(f), reason = Reason(f);
    std::string text = "the plug-in failed";
    if (!stage.empty()) text += " " + stage;
    if (!reason.empty()) text += ": " + reason;
    return text + " (result " + std::to_string(f.result) + ")";
}

}  // namespace cli
