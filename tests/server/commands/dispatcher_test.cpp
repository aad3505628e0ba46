#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/event_queue.h"
#include "server/commands/client_commands.h"
#include "server/state/server_context.h"
#include "tests/support/capturing_client.h"
#include "tests/support/event_pump.h"
#include "tests/support/fake_device.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class Dispatcher : public testing::Test {
  protected:
    void command(const Bytes& message, const Origin& from = {}) {
        handleClientCommands(server, from, message.data(), message.size());
    }

    ServerContext server{nullptr};  // no armband known
    ScopedCapturingClient client{server.clientRegistry};
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
    for (std::uint8_t code : {0x00, 0x0E, 0x0F, 0x14, 0x2F, 0x32, 0xFE}) {
        command({code});
    }
    EXPECT_TRUE(client->messages().empty());
}

TEST_F(Dispatcher, VersionWithoutAnArmbandReportsOnlyTheServer) {
    command({0x30, 0x99});
    ASSERT_TRUE(pumpEventsUntil(server, [this] { return !client->messages().empty(); }));
    const auto messages = client->messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0][0], 0x30);
    EXPECT_EQ(std::string(messages[0].begin() + 1, messages[0].end()),
              "000.005.002/---.---.---/---.---.---");
}

TEST_F(Dispatcher, ExitAnswersNothingAndQueuesTheExitEvent) {
    command({0xFF, 1, 2});
    EXPECT_TRUE(client->messages().empty());
    const std::optional<Event> event = server.eventQueue.tryPop();
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(*event->record, Bytes{EXIT_EVT});
}

TEST_F(Dispatcher, GestureStreamCommandsRefuseTheWrongMode) {
    command({0x11});
    server.acquisition.dataMode = RECORD_MODE;
    command({0x10, 7, 7});
    EXPECT_EQ(server.acquisition.dataMode, RECORD_MODE);
    EXPECT_EQ(client->messages(), (std::vector<Bytes>{{0x10, 0xFC}, {0x10, 0xFC}}));
}

TEST_F(Dispatcher, DeviceCommandsWithoutAnArmbandSayNoArmband) {
    command({0x02});
    command({0x03});
    command({0x04});
    command({0x03, 0x00});
    EXPECT_EQ(client->messages(), (std::vector<Bytes>{{2, 0xFF}, {3, 0xF2}, {4, 0xF2}, {3, 0xFF}}));
}

// Two clients: the one that asked for its own answers gets, for each of its
// commands, one frame of its own (31 seq and the immediate answer), and later
// the final answers of what it started under that command's number, even when
// another client's command ends it; the other client sees the plain answers.
TEST(OwnAnswers, EachClientTellsItsAnswersFromTheOthersNews) {
    FakeArmband armband;
    ScopedCapturingClient& other = armband.client;
    ScopedCapturingClient mine(armband.server.clientRegistry);
    const auto send = [&armband](const ScopedCapturingClient& from, const Bytes& message) {
        handleClientCommands(armband.server, from.origin(), message.data(), message.size());
    };
    send(mine, {0x31});
    send(mine, {0x01});
    send(other, {0x01});
    send(mine, {0x0E});
    EXPECT_EQ(
        mine->messages(),
        (std::vector<Bytes>{{0x31, 0x00}, {0x31, 1, 0, 0x01, 0x00}, {0x01, 0x00}, {0x31, 2, 0}}));
    EXPECT_EQ(other->messages(), (std::vector<Bytes>{{0x01, 0x00}, {0x01, 0x00}}));

    // A configuration, a recording window and a version answer later, each
    // under the number of the command that asked; the window is ended by the
    // other client's STOP_IDENTIFY.
    mine->clear();
    other->clear();
    send(mine, {0x05, 0x01, 0x03});  // 3
    send(mine, {0x06, 0x01});        // 4
    send(mine, {0x30});              // 5
    send(mine, {0x30});              // 6: answered by the same query
    ASSERT_TRUE(armband.pumpUntil([&] { return mine->messages().size() >= 7; }));
    send(other, {0x09});
    ASSERT_TRUE(armband.pumpUntil([&] { return other->messagesWithCode(0x06).size() == 1; }));
    const auto own = mine->messagesWithCode(0x31);
    const auto has = [&own](const Bytes& frame) {
        return std::find(own.begin(), own.end(), frame) != own.end();
    };
    EXPECT_TRUE(has({0x31, 3, 0}));
    EXPECT_TRUE(has({0x31, 4, 0}));
    EXPECT_TRUE(has({0x31, 5, 0}));
    EXPECT_TRUE(has({0x31, 3, 0, 0x05, 0x00}));
    EXPECT_TRUE(has({0x31, 4, 0, 0x06, 0xFD}));
    const std::string version = "000.005.002/001.004.027/003.000.000";
    Bytes versionAnswer{0x31, 5, 0, 0x30};
    versionAnswer.insert(versionAnswer.end(), version.begin(), version.end());
    EXPECT_TRUE(has(versionAnswer));
    versionAnswer[1] = 6;
    EXPECT_TRUE(has(versionAnswer));
    EXPECT_TRUE(mine->messagesWithCode(0x06).empty()) << "no plain copy of its own answers";
    EXPECT_TRUE(mine->messagesWithCode(0x05).empty());
    EXPECT_EQ(mine->messagesWithCode(0x08), (std::vector<Bytes>{{0x08, 0xFD}}));
    EXPECT_EQ(other->messagesWithCode(0x05), (std::vector<Bytes>{{0x05, 0x00}}));
    EXPECT_EQ(other->messagesWithCode(0x06), (std::vector<Bytes>{{0x06, 0xFD}}));
    EXPECT_EQ(other->messagesWithCode(0x30).size(), 2u) << "a plain answer for each request";
    EXPECT_TRUE(other->messagesWithCode(0x31).empty());
}

}  // namespace
