#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <thread>

#include "server/commands/client_commands.h"
#include "server/state/server_context.h"
#include "store/identify_model_check.h"
#include "store/model_shape.h"
#include "tests/support/capturing_client.h"
#include "tests/support/fake_device.h"
#include "tests/support/simulated_recordings.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// A model of `lines` lines of `values` numbers each, trained on gestures 1 to 3
// (and configured so, with `channels` channels).
void writeModel(AcquisitionState& state, int lines, int values, std::uint8_t channels = 8) {
    std::string text;
    for (int line = 0; line < lines; ++line) {
        for (int value = 0; value < values; ++value) {
            text += value + 1 < values ? "0.500000 " : "-1.000000\n";
        }
    }
    writeFile("W&B.txt", text);
    writeFile("W&B.gestures", "0x07\n");
    state.gestureMask = 0x07;
    state.channelCount = channels;
}

class IdentifyCommands : public testing::Test {
  protected:
    void command(const Bytes& message) { armband.command(message); }
    std::string commandLog(const Bytes& message) {
        testing::internal::CaptureStdout();
        command(message);
        return testing::internal::GetCapturedStdout();
    }

    ScopedWorkingDirectory workingDirectory;
    FakeArmband armband;
    ServerContext& server = armband.server;
    AcquisitionState& state = server.acquisition;
    ScopedCapturingClient& client = armband.client;
};

TEST_F(IdentifyCommands, StartingSizesTheWindowFromTheModelAndTheIdentificationLoadsIt) {
    writeModel(state, 3, 9);
    std::string log = commandLog({START_IDENTIFY});
    EXPECT_NE(log.find("start identify command recieved."), std::string::npos);
    EXPECT_NE(log.find("identify buffer length:1040"), std::string::npos);
    EXPECT_TRUE(client->messages().empty());
    EXPECT_EQ(state.dataMode, IDENTIFY_MODE);
    EXPECT_EQ(state.identifyWindowLength, 1040u);
    EXPECT_EQ(armband.device->setting->switches(), std::vector<std::uint32_t>{0x80});
    // The first window cut (nine packets of eight channels) loads the model first.
    testing::internal::CaptureStdout();
    for (int packet = 0; packet < 9; ++packet) {
        server.routing.route(Bytes(128, 124));
    }
    while (server.identify.queued() > 0) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Identify init, detect new model"), std::string::npos) << log;
    EXPECT_NE(log.find("identify gesture number:3"), std::string::npos) << log;
}

TEST_F(IdentifyCommands, StartingWithoutAModelOrWhileBusyIsRefused) {
    state.channelCount = 8;
    command({START_IDENTIFY});
    EXPECT_EQ(state.dataMode, IDLE_MODE);
    writeModel(state, 3, 9);
    state.dataMode = RECORD_MODE;
    command({START_IDENTIFY});
    EXPECT_EQ(state.dataMode, RECORD_MODE);
    state.dataMode = IDLE_MODE;
    command({START_IDENTIFY, 0});
    EXPECT_EQ(client->messages(), std::vector<Bytes>(3, Bytes{0x08, 0xFF}));
    EXPECT_TRUE(armband.device->setting->switches().empty());
}

TEST_F(IdentifyCommands, AModelForOtherChannelsOrTooLargeForTheClassifierIsRefused) {
    writeModel(state, 3, 9, 4);
    EXPECT_NE(commandLog({START_IDENTIFY}).find("8"), std::string::npos);
    writeModel(state, 29, 5, 4);
    command({START_IDENTIFY});
    writeModel(state, 3, 10, 9);
    command({START_IDENTIFY});
    EXPECT_EQ(client->messages(), std::vector<Bytes>(3, Bytes{0x08, 0xFF}));
    EXPECT_EQ(state.dataMode, IDLE_MODE);
}

TEST_F(IdentifyCommands, AModelOfOtherGesturesOrWithoutItsGesturesIsRefused) {
    writeModel(state, 3, 9);
    state.gestureMask = 0x0B;
    EXPECT_NE(commandLog({START_IDENTIFY}).find("trained on gestures 0x07"), std::string::npos);
    std::remove("W&B.gestures");
    state.gestureMask = 0x07;
    command({START_IDENTIFY});
    EXPECT_EQ(client->messages(), std::vector<Bytes>(2, Bytes{0x08, 0xFF}));
    EXPECT_EQ(state.dataMode, IDLE_MODE);
}

TEST_F(IdentifyCommands, StoppingAnswersStoppedInEveryModeAndSwitchesARunningStreamOff) {
    for (std::int32_t mode : {IDLE_MODE, RECORD_MODE, IDENTIFY_MODE, GESTURE_MODE}) {
        state.dataMode = mode;
        command({STOP_IDENTIFY});
        EXPECT_EQ(state.dataMode, IDLE_MODE);
    }
    command({STOP_IDENTIFY, 1});
    const Bytes stopped{0x08, 0xFD};
    const std::vector<Bytes> expected{stopped, {0x06, 0xFD}, stopped,
                                      stopped, stopped,      {0x08, 0xFF}};
    EXPECT_EQ(client->messages(), expected);
    // With nothing running the armband is not asked; a recording is abandoned.
    EXPECT_EQ(armband.device->setting->switches(), std::vector<std::uint32_t>(3, 0x00));
}

}  // namespace

namespace {

// How many times the identification thread has loaded a model, once it has
// handled what is queued: each routed window after a load request loads first.
int modelLoadsAfterWindows(ServerContext& server, int windows) {
    testing::internal::CaptureStdout();
    for (int packet = 0; packet < 9 * windows; ++packet) {
        server.routing.route(Bytes(16, 124));
    }
    while (server.identify.queued() > 0) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string log = testing::internal::GetCapturedStdout();
    int loads = 0;
    for (auto at = log.find("Identify init, detect new model"); at != std::string::npos;
         at = log.find("Identify init, detect new model", at + 1)) {
        ++loads;
    }
    return loads;
}

TEST(IdentifyWhileTraining, AModelTrainedDuringIdentificationIsLoadedBeforeItsNextWindow) {
    ScopedWorkingDirectory workingDirectory;
    FakeArmband armband;
    ServerContext& server = armband.server;
    server.acquisition.configure(0x01, 0x03);
    writeSimulatedRawFiles({1, 2}, 1, 3);
    const auto trained = [&armband] {
        armband.client->clear();
        armband.command({GENERATE_MODEL});
        return armband.pumpUntil(
            [&armband] { return !armband.client->messagesWithCode(0x0A).empty(); }, 60s);
    };
    ASSERT_TRUE(trained());
    ASSERT_EQ(armband.client->messagesWithCode(0x0A).at(0), (Bytes{0x0A, 0x00}));
    armband.command({START_IDENTIFY});
    ASSERT_EQ(server.acquisition.dataMode, IDENTIFY_MODE);
    EXPECT_EQ(modelLoadsAfterWindows(server, 2), 1);
    ASSERT_TRUE(trained());
    EXPECT_EQ(modelLoadsAfterWindows(server, 2), 1) << "the new model, before the next window";
    EXPECT_EQ(modelLoadsAfterWindows(server, 2), 0);
}

}  // namespace
