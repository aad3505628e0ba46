#include "server/device/raw_data_routing.h"

#include <gtest/gtest.h>

#include <numeric>

#include "base/event_queue.h"
#include "server/device/recording_timer.h"
#include "tests/support/capturing_client.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class RawDataRouting : public testing::Test {
  protected:
    // A window of `frames` frames of the channels of `mask`.
    void recording(std::uint8_t mask, std::uint32_t frames = 1000) {
        routing.startRecording(RecordingPlan{1, 1, mask, frames});
    }

    EventQueue events;
    ClientRegistry clients;
    std::vector<EventRecord> windows;
    RawRouting routing{events, clients,
                       [this](EventRecord window) { windows.push_back(std::move(window)); }};
    ScopedCapturingClient client{clients};
};

Bytes countingPacket(std::size_t length) {
    Bytes packet(length);
    std::iota(packet.begin(), packet.end(), 0);
    return packet;
}

TEST_F(RawDataRouting, WhileRecordingAPacketIsKeptWholeAndPreviewedByRowsZeroFourEightTwelve) {
    recording(0xFF);
    const Bytes packet = countingPacket(128);
    routing.route(packet);
    EXPECT_EQ(routing.recordedBytes(), 128u);
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
    recording(0x03);
    routing.route(countingPacket(32));
    EXPECT_EQ(client->messages().at(0), (Bytes{7, 0, 1, 8, 9, 16, 17, 24, 25}));
}

TEST_F(RawDataRouting, APacketOfAnotherChannelLayoutIsLeftOutAndNotPreviewed) {
    recording(0x0F);
    routing.route(countingPacket(15));
    routing.route(countingPacket(128));
    EXPECT_TRUE(client->messages().empty());
    EXPECT_EQ(routing.recordedBytes(), 0u);
    EXPECT_EQ(buildPreviewFrame(countingPacket(15).data(), 15), Bytes{7});
}

TEST_F(RawDataRouting, PacketsAppendInArrivalOrderAndTheFullWindowQueuesItsEnd) {
    routing.startRecording(RecordingPlan{9, 1, 0x07, 32});
    routing.route(Bytes(48, 1));
    routing.route(Bytes(48, 2));
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(*events.pop().record, *recordingWindowRecord(INTERNAL_EVT, 1, 9));
    routing.route(Bytes(48, 3));  // after it is full: left out
    EXPECT_TRUE(routing.stopRecording());
    const Bytes seen = routing.takeRecording();
    ASSERT_EQ(seen.size(), 96u);
    EXPECT_EQ(seen[47], 1);
    EXPECT_EQ(seen[48], 2);
}

TEST_F(RawDataRouting, NothingIsRoutedWhileIdleOrAfterTheLinkWent) {
    routing.route(countingPacket(128));
    recording(0xFF);
    routing.openPreview({});
    EXPECT_FALSE(routing.stop());
    routing.route(countingPacket(128));
    EXPECT_EQ(routing.recordedBytes(), 0u);
    EXPECT_FALSE(routing.previewOpen());
    EXPECT_EQ(client->messages(), (std::vector<Bytes>{{0x12, 0x00}, {0x12, 0xFD}}));
    EXPECT_TRUE(windows.empty());
}

TEST_F(RawDataRouting, WhileIdentifyingPacketsAreCutIntoHalfOverlappingWindows) {
    routing.startIdentify(260, 0);
    for (std::uint8_t packet = 0; packet < 4; ++packet) {
        routing.route(Bytes(128, packet));
    }
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0]->size(), 260u);
    EXPECT_EQ((*windows[0])[0], 0);
    // The second window starts 130 bytes after the first.
    EXPECT_EQ((*windows[1])[0], 1);
    EXPECT_EQ((*windows[1])[125], 1);
    EXPECT_EQ((*windows[1])[126], 2);
    EXPECT_TRUE(client->messages().empty()) << "no preview unless asked for";
}

}  // namespace
