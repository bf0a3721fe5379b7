#include "ui/AboutBoxLogic.h"

#include <cstdint>

#include "resources/PluginInfo.h"

namespace {

constexpr int kTitlePoints = 28;
constexpr int kPointsPerInch = 72;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

}  // namespace

int TitleFontHeight(int logicalPixelsPerInch) {
    const int64_t product = int64_t(kTitlePoints) * logicalPixelsPerInch;
    const int64_t half = kPointsPerInch / 2;
    const int64_t rounded =
        product >= 0 ? (product + half) / kPointsPerInch : (product - half) / kPointsPerInch;
    // 28/72 of an int always fits in an int.
    return -static_cast<int>(rounded);
}

EAboutCommand AboutCommandOf(int controlId) {
    switch (controlId) {
        case kIdOk:
        case kIdCancel:
            return EAboutCommand::Close;
        case IDC_ABOUT_WEB:
            return EAboutCommand::OpenHomePage;
        default:
            return EAboutCommand::LeftToSystem;
    }
}
