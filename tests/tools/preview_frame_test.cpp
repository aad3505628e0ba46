// Preview frames and the activity that the level meter shows.
#include "tools/client/preview_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A frame of `channels` channels whose rows are given row after row.
Bytes frameOf(std::size_t channels, const Bytes& rows) {
    Bytes message(1 + rows.size(), 0x07);
    std::copy(rows.begin(), rows.end(), message.begin() + 1);
    EXPECT_EQ(rows.size(), channels * 4);
    return message;
}

TEST(PreviewFrame, FourRowsOfOneToEightChannelsAreAFrame) {
    PreviewFrame frame;
    ASSERT_TRUE(parsePreviewFrame(frameOf(2, {1, 2, 3, 4, 5, 6, 7, 8}), frame));
    EXPECT_EQ(frame.channels, 2u);
    EXPECT_EQ(frame.samples, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(parsePreviewFrame(Bytes(1 + 4 * 8, 0x07), frame));
    EXPECT_EQ(frame.channels, 8u);
}

TEST(PreviewFrame, OtherShapesAreRefused) {
    PreviewFrame frame;
    EXPECT_FALSE(parsePreviewFrame({0x07}, frame));
    EXPECT_FALSE(parsePreviewFrame({0x07, 1, 2, 3}, frame));
    EXPECT_FALSE(parsePreviewFrame({0x07, 1, 2, 3, 4, 5}, frame));
    EXPECT_FALSE(parsePreviewFrame(Bytes(1 + 4 * 9, 0x07), frame));
    EXPECT_FALSE(parsePreviewFrame({0x06, 1, 2, 3, 4}, frame));
    EXPECT_FALSE(parsePreviewFrame({}, frame));
}

TEST(PreviewFrame, ActivityIsTheMeanSpreadOfEachChannel) {
    PreviewFrame frame;
    // Channel 1 spans 100..140 (40), channel 2 spans 10..30 (20).
    ASSERT_TRUE(parsePreviewFrame(frameOf(2, {100, 10, 140, 30, 120, 20, 110, 15}), frame));
    EXPECT_FLOAT_EQ(previewActivity(frame), 30.0f);
}

TEST(PreviewFrame, AFlatSignalHasNoActivityWhateverItsOffset) {
    PreviewFrame frame;
    ASSERT_TRUE(parsePreviewFrame(frameOf(2, {0, 255, 0, 255, 0, 255, 0, 255}), frame));
    EXPECT_FLOAT_EQ(previewActivity(frame), 0.0f);
    ASSERT_TRUE(parsePreviewFrame(frameOf(1, {0, 255, 0, 255}), frame));
    EXPECT_FLOAT_EQ(previewActivity(frame), 255.0f);
    EXPECT_FLOAT_EQ(previewActivity(PreviewFrame{}), 0.0f);
}

}  // namespace
