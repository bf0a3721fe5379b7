// Progress, cancel and refusals of the C interface: a caller's mistake is
// an answer, never a crash or a write outside the buffers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "capi/VandrelApi.h"

namespace {

struct SCalls {
    int count = 0;
    int32_t lastDone = -1;
    int32_t total = 0;
    int stopAt = -1;  // the call that answers "stop"
};

int32_t Record(void* context, int32_t done, int32_t total) {
    auto* calls = static_cast<SCalls*>(context);
    ++calls->count;
    EXPECT_GE(done, calls->lastDone);
    calls->lastDone = done;
    calls->total = total;
    return calls->count == calls->stopAt ? 1 : 0;
}

// Black everywhere but a coloured first column: every row must be walked.
std::vector<uint8_t> DarkPage(int width, int height) {
    std::vector<uint8_t> page(size_t(width) * size_t(height) * 3, 0);
    for (int y = 0; y < height; ++y) page[size_t(y) * size_t(width) * 3] = 200;
    return page;
}

TEST(ApiProgress, ReachesEveryRowOfTheCompletedPass) {
    const int width = 64, height = 300;
    const auto page = DarkPage(width, height);
    std::vector<uint8_t> result(page.size());
    SCalls calls;
    ASSERT_EQ(vandrel_flat(page.data(), result.data(), width, height, VANDREL_RGB, 256, 0, Record, &calls),
              VANDREL_DONE);
    EXPECT_GT(calls.count, 0);
    EXPECT_EQ(calls.total, height);
    EXPECT_EQ(calls.lastDone, height);
    EXPECT_EQ(result[size_t(width - 1) * 3], 200);
}

TEST(ApiProgress, AStopAnswerCancelsThePass) {
    const int width = 200, height = 4000;
    const auto page = DarkPage(width, height);
    std::vector<uint8_t> result(page.size());
    SCalls calls;
    calls.stopAt = 1;
    EXPECT_EQ(vandrel_flat(page.data(), result.data(), width, height, VANDREL_RGB, 256, 0, Record, &calls),
              VANDREL_CANCELLED);
    EXPECT_LT(calls.lastDone, height);
}

TEST(ApiRefusals, BadPagesAndSettingsAreAnsweredWithoutTouchingTheResult) {
    std::vector<uint8_t> page(16 * 16 * 4, 0), result(page.size() + 16, 0x5A);
    const auto untouched = result;
    auto flat = [&](const uint8_t* in, uint8_t* out, int w, int h, int32_t layout, int depth) {
        return vandrel_flat(in, out, w, h, layout, depth, 0, nullptr, nullptr);
    };
    EXPECT_EQ(flat(nullptr, result.data(), 16, 16, VANDREL_RGBA, 256), VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(flat(page.data(), nullptr, 16, 16, VANDREL_RGBA, 256), VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(flat(page.data(), result.data(), 0, 16, VANDREL_RGBA, 256), VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(flat(page.data(), result.data(), 16, -3, VANDREL_RGBA, 256), VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(flat(page.data(), result.data(), 40000, 1, VANDREL_RGB, 256), VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(flat(page.data(), result.data(), 16, 16, VANDREL_RGBA, 0), VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(flat(page.data(), result.data(), 16, 16, VANDREL_RGBA, 65536), VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(flat(page.data(), result.data(), 16, 16, 99, 256), VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(flat(page.data(), result.data(), 16, 16, VANDREL_GRAY, 256), VANDREL_UNSUPPORTED_LAYOUT);
    // The result laid over the page, even by one byte.
    EXPECT_EQ(flat(page.data(), page.data() + 4 * 4 * 4 - 1, 4, 4, VANDREL_RGBA, 256), VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(result, untouched);
}

TEST(ApiRefusals, EveryResultHasWords) {
    for (int32_t code = VANDREL_DONE; code <= VANDREL_UNSUPPORTED_LAYOUT + 1; ++code) {
        ASSERT_NE(vandrel_result_text(code), nullptr);
        EXPECT_GT(std::strlen(vandrel_result_text(code)), 3u);
    }
    EXPECT_EQ(vandrel_api_version(), VANDREL_API_VERSION);
    EXPECT_EQ(vandrel_layout_channels(VANDREL_CMYKA), 5);
    EXPECT_EQ(vandrel_layout_channels(VANDREL_BGRA), 4);
    EXPECT_EQ(vandrel_layout_channels(0), 0);
}

}  // namespace
