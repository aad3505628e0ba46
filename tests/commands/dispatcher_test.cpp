#include <gtest/gtest.h>

#include <string>

#include "commands/client_commands.h"
#include "core/event_queue.h"
#include "device/acquisition_state.h"
#include "device/tessel_handle.h"
#include "tests/support/capturing_client.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class Dispatcher : public testing::Test {
  protected:
    void SetUp() override { handle = std::make_shared<TesselHandle>(nullptr); }
    void TearDown() override { handle.reset(); }

    void command(const Bytes& message) { handleClientCommands(message.data(), message.size()); }

    ScopedCapturingClient client;
};

TEST_F(Dispatcher, PingIsAnsweredOnlyWhenItIsOneByteLong) {
    command({0x01});
    command({0x01, 0x00});
    Bytes longPing(257, 0);
    longPing[0] = 0x01;
    command(longPing);
    EXPECT_EQ(client->messages(), (std::vector<Bytes>{{1, 0x00}, {1, 0xFF}, {1, 0xFF}}));
}

TEST_F(Dispatcher, UnknownCodesAndEmptyMessagesGetNoAnswer) {
    command({});
    for (std::uint8_t code : {0x00, 0x0E, 0x0F, 0x14, 0x2F, 0x31, 0xFE}) {
        command({code});
    }
    EXPECT_TRUE(client->messages().empty());
}

TEST_F(Dispatcher, VersionWithoutAnArmbandReportsOnlyTheServer) {
    command({0x30, 0x99});
    const auto messages = client->messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0][0], 0x30);
    EXPECT_EQ(std::string(messages[0].begin() + 1, messages[0].end()),
              "000.005.002/---.---.---/---.---.---");
}

TEST_F(Dispatcher, ExitAnswersNothingAndQueuesTheExitEvent) {
    command({0xFF, 1, 2});
    EXPECT_TRUE(client->messages().empty());
    const EventRecord record = eventQueue.tryPop();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(*record, Bytes{EXIT_EVT});
}

TEST_F(Dispatcher, GestureStreamCommandsRefuseTheWrongMode) {
    command({0x11});
    dataMode.store(RECORD_MODE);
    command({0x10, 7, 7});
    EXPECT_EQ(dataMode.load(), RECORD_MODE);
    EXPECT_EQ(client->messages(), (std::vector<Bytes>{{0x10, 0xFC}, {0x10, 0xFC}}));
}

TEST_F(Dispatcher, DeviceCommandsWithoutAnArmbandSayNoArmband) {
    command({0x02});
    command({0x03});
    command({0x04});
    command({0x03, 0x00});
    EXPECT_EQ(client->messages(), (std::vector<Bytes>{{2, 0xFF}, {3, 0xF2}, {4, 0xF2}, {3, 0xFF}}));
}

}  // namespace
