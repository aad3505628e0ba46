#include "device/raw_data_routing.h"

#include <gtest/gtest.h>

#include <numeric>

#include "core/event_queue.h"
#include "device/acquisition_state.h"
#include "tests/support/capturing_client.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class RawDataRouting : public testing::Test {
  protected:
    RawDataRouting() {
        resetAcquisitionState();
        rawBuffer.clear();
    }
    // A window of `frames` frames of the channels of `mask`.
    static void recording(std::uint8_t mask, std::uint32_t frames = 1000) {
        rawBuffer.start(RecordingPlan{1, 1, mask, frames});
        dataMode.store(RECORD_MODE);
    }
};

Bytes countingPacket(std::size_t length) {
    Bytes packet(length);
    std::iota(packet.begin(), packet.end(), 0);
    return packet;
}

TEST_F(RawDataRouting, WhileRecordingAPacketIsKeptWholeAndPreviewedByRowsZeroFourEightTwelve) {
    ScopedCapturingClient client;
    recording(0xFF);
    const Bytes packet = countingPacket(128);
    routeRawPacket(packet);
    EXPECT_EQ(rawBuffer.size(), 128u);
    const auto messages = client->messages();
    ASSERT_EQ(messages.size(), 1u);
    Bytes expected{7};
    for (int start : {0, 32, 64, 96}) {
        for (int i = 0; i < 8; ++i) {
            expected.push_back(static_cast<std::uint8_t>(start + i));
        }
    }
    EXPECT_EQ(messages[0], expected);
}

TEST_F(RawDataRouting, ATwoChannelPacketPreviewsEightSamples) {
    ScopedCapturingClient client;
    recording(0x03);
    routeRawPacket(countingPacket(32));
    EXPECT_EQ(client->messages().at(0), (Bytes{7, 0, 1, 8, 9, 16, 17, 24, 25}));
}

TEST_F(RawDataRouting, APacketOfAnotherChannelLayoutIsLeftOutAndNotPreviewed) {
    ScopedCapturingClient client;
    recording(0x0F);
    routeRawPacket(countingPacket(15));
    routeRawPacket(countingPacket(128));
    EXPECT_TRUE(client->messages().empty());
    EXPECT_EQ(rawBuffer.size(), 0u);
    EXPECT_EQ(buildPreviewFrame(countingPacket(15).data(), 15), Bytes{7});
}

TEST_F(RawDataRouting, PacketsAppendInArrivalOrder) {
    recording(0x07);
    routeRawPacket(Bytes(48, 1));
    routeRawPacket(Bytes(48, 2));
    Bytes seen;
    rawBuffer.read([&seen](const std::uint8_t* data, std::size_t length) {
        seen.assign(data, data + length);
    });
    ASSERT_EQ(seen.size(), 96u);
    EXPECT_EQ(seen[47], 1);
    EXPECT_EQ(seen[48], 2);
}

TEST_F(RawDataRouting, IdleAndGestureModesDropPackets) {
    ScopedCapturingClient client;
    for (std::int32_t mode : {IDLE_MODE, GESTURE_MODE}) {
        dataMode.store(mode);
        routeRawPacket(countingPacket(128));
    }
    EXPECT_EQ(rawBuffer.size(), 0u);
    EXPECT_TRUE(client->messages().empty());
    EXPECT_EQ(identifyQueue.size(), 0u);
}

}  // namespace
