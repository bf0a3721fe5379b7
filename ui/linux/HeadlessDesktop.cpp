#include "ui/linux/HeadlessDesktop.h"

#include <algorithm>
#include <utility>

namespace headless {

void CHeadlessDesktop::Reset() { *this = CHeadlessDesktop{}; }

int CHeadlessDesktop::LiveFonts() const {
    return int(std::count_if(fonts.begin(), fonts.end(), [](const auto& font) { return !font->deleted; }));
}

const HFONT__* CHeadlessDesktop::LastFont() const { return fonts.empty() ? nullptr : fonts.back().get(); }

CHeadlessDesktop& Desktop() {
    static CHeadlessDesktop desktop;
    return desktop;
}

CScopedUser::CScopedUser(DialogUser person) : previous_(std::exchange(Desktop().user, std::move(person))) {}

CScopedUser::~CScopedUser() { Desktop().user = std::move(previous_); }

}  // namespace headless
