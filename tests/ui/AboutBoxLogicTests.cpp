// The About box's logic: the title's size on each screen, what each command
// does, and how a text too long for its buffer is cut.
#include <gtest/gtest.h>

#include <string>

#include "resources/PluginInfo.h"
#include "ui/AboutBoxLogic.h"

namespace {

TEST(AboutBoxLogic, TitleIsTwentyEightPointsRoundedAsMulDivRounds) {
    struct SCase {
        int dpi;
        int height;
    };
    // 28 points at 96 dpi are 37.33 pixels; 27 dpi gives exactly 10.5.
    for (SCase c : {SCase{96, -37}, SCase{120, -47}, SCase{144, -56}, SCase{72, -28}, SCase{27, -11},
                    SCase{0, 0}, SCase{-27, 11}}) {
        EXPECT_EQ(TitleFontHeight(c.dpi), c.height) << c.dpi;
    }
}

TEST(AboutBoxLogic, OkAndCancelCloseTheWebButtonOpensThePageAndTheRestIsLeftToTheSystem) {
    EXPECT_EQ(AboutCommandOf(1), EAboutCommand::Close);
    EXPECT_EQ(AboutCommandOf(2), EAboutCommand::Close);
    EXPECT_EQ(AboutCommandOf(IDC_ABOUT_WEB), EAboutCommand::OpenHomePage);
    for (int id : {0, IDC_ABOUT_TITLE, IDC_ABOUT_VERSION, IDC_ABOUT_COPYRIGHT, -1, 0xFFFF})
        EXPECT_EQ(AboutCommandOf(id), EAboutCommand::LeftToSystem) << id;
}

TEST(AboutBoxLogic, TextsTooLongForTheBufferKeepWholeCharacters) {
    const std::u16string shortText = u"Vändrel Prö ✓ 𝄞";
    EXPECT_EQ(DialogTextUnitsToKeep(shortText.data(), int(shortText.size())), int(shortText.size()));

    const std::u16string plain(300, u'a');
    EXPECT_EQ(DialogTextUnitsToKeep(plain.data(), int(plain.size())), kDialogTextUnits - 1);

    // 126 units, then a character of two: it cannot be split at 127.
    const std::u16string astral = std::u16string(126, u'b') + u"𝄞" + u"tail";
    EXPECT_EQ(DialogTextUnitsToKeep(astral.data(), int(astral.size())), 126);
    // 125 units, then the pair fits whole.
    const std::u16string fits = std::u16string(125, u'b') + u"𝄞" + u"tail";
    EXPECT_EQ(DialogTextUnitsToKeep(fits.data(), int(fits.size())), 127);

    EXPECT_EQ(DialogTextUnitsToKeep(u"", 0), 0);
}

}  // namespace
