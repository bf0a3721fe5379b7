// A descriptor reader that never runs out of keys must not hang the host.
#include <gtest/gtest.h>

#include "sim/HostSimulator.h"
#include "tests/support/TestImages.h"

using namespace testing_support;

namespace {

int gKeysAsked = 0;

Boolean EndlessGetKey(PIReadDescriptor, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
    ++gKeysAsked;
    *key = host::FourCC("Junk");
    *type = host::typeInteger;
    *flags = 0;
    return 1;
}

TEST(EndlessReader, StartGivesUpOnTheKeysAndStillFlats) {
    sim::CHostSimulator host;
    auto image = ImageFromRows({"r#b"});
    host.SetDocument(RgbSpec(image), image);
    host.GiveSettings(12, std::nullopt);
    host.Descriptors().readProcs.getKeyProc = EndlessGetKey;
    gKeysAsked = 0;

    sim::SRunResult run = host.RunFilter(false);
    EXPECT_TRUE(run.Succeeded());
    EXPECT_GT(gKeysAsked, 0);
    EXPECT_LT(gKeysAsked, 100000);
    EXPECT_EQ(host.Output().At(1, 0, 2), 255);  // flatted with the right-hand blue
    EXPECT_EQ(host.Descriptors().OpenReaders(), 0u);
}

}  // namespace
