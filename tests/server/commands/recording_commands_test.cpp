#include <gtest/gtest.h>

#include <unistd.h>

#include <bit>
#include <filesystem>

#include "server/commands/client_commands.h"
#include "server/commands/command_handlers.h"
#include "server/commands/event_handlers.h"
#include "server/state/server_context.h"
#include "tests/support/capturing_client.h"
#include "tests/support/event_pump.h"
#include "tests/support/fake_device.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kShortWindowMs = 100;

class Recording : public testing::Test {
  protected:
    void command(const Bytes& message) { armband.command(message); }
    void route(const Bytes& packet) { server.routing.route(packet); }

    // START_RECORD of a window of `frames` frames of the channels of `mask`,
    // given up after a short time, as the dispatcher would answer it; returns
    // once the armband has switched the stream on.
    void startShortRecording(std::uint8_t gesture, std::uint8_t mask, std::uint32_t frames) {
        server.acquisition.configure(mask, 0);
        const Bytes frame{START_RECORD, gesture};
        Response response;
        startRecordingWindow(server, CommandFrame{frame.data(), frame.size(), {}}, response,
                             WindowLimits{frames, kShortWindowMs});
        ASSERT_EQ(response.size(), 1u) << "START_RECORD answered at once";
        ASSERT_TRUE(armband.pumpUntil([this] { return server.recordingTimer.isRunning(); }));
    }

    bool waitForRecordAnswer() {
        return armband.pumpUntil([this] { return !client->messagesWithCode(0x06).empty(); });
    }

    ScopedWorkingDirectory workingDirectory;
    FakeArmband armband;
    ServerContext& server = armband.server;
    ScopedCapturingClient& client = armband.client;
};

TEST_F(Recording, ConfigurationStoresTheMasksAndAsksForPacketsOfSixteenFrames) {
    command({SET_EMG_CONFIG, 0xFF, 0x15});
    EXPECT_EQ(server.acquisition.channelCount, 8);
    EXPECT_EQ(server.acquisition.gestureCount, 3);
    EXPECT_EQ(server.acquisition.gestureMask, 0x15);
    const auto configs = armband.device->setting->rawConfigs();
    ASSERT_EQ(configs.size(), 1u);
    EXPECT_EQ(configs[0].sampleRate, 650u);
    EXPECT_EQ(configs[0].channelMask, 0xFF);
    EXPECT_EQ(configs[0].packetBytes, 128);
    EXPECT_EQ(configs[0].bitsPerSample, 8);
    ASSERT_TRUE(armband.pumpUntil([this] { return !client->messages().empty(); }));
    EXPECT_EQ(client->messages().at(0), (Bytes{0x05, 0x00}));
}

TEST_F(Recording, AConfigurationOfTheWrongLengthIsRefusedAndChangesNothing) {
    command({SET_EMG_CONFIG, 0x03, 0x03});
    command({SET_EMG_CONFIG, 0xFF});
    command({SET_EMG_CONFIG, 0xFF, 0xFF, 0x00});
    EXPECT_EQ(server.acquisition.channelMask, 0x03);
    EXPECT_EQ(server.acquisition.gestureMask, 0x03);
    EXPECT_EQ(client->messagesWithCode(0x05).size(), 2u);
    EXPECT_EQ(client->messagesWithCode(0x05).at(0), (Bytes{0x05, 0xFF}));
}

TEST_F(Recording, AWindowHoldsExactlyItsFramesInItsRawFileAndAnswersDone) {
    startShortRecording(3, 0x07, 40);
    EXPECT_EQ(server.acquisition.dataMode, RECORD_MODE);
    EXPECT_EQ(armband.device->setting->switches(), std::vector<std::uint32_t>{0x80});
    route(Bytes(48, 0x11));
    route(Bytes(32, 0x33));  // another channel layout: left out
    route(Bytes(48, 0x22));
    route(Bytes(48, 0x44));  // the window fills within it, at 40 frames
    route(Bytes(48, 0x55));  // after it is full: left out
    ASSERT_TRUE(waitForRecordAnswer());
    EXPECT_EQ(client->messagesWithCode(0x06).at(0), (Bytes{0x06, 0x00}));
    EXPECT_EQ(server.acquisition.dataMode, IDLE_MODE);
    EXPECT_EQ(armband.device->setting->switches(), (std::vector<std::uint32_t>{0x80, 0x00}));
    EXPECT_EQ(readFile("raw3.bin"),
              std::string(48, '\x11') + std::string(48, '\x22') + std::string(24, '\x44'));
    EXPECT_EQ(readFile("raw3.windows").substr(0, 9), "0 120 7 1");
    // The preview went out for the packets that went in.
    EXPECT_EQ(client->messagesWithCode(0x07).size(), 3u);
}

TEST_F(Recording, TwoRecordingsOfAGestureFollowEachOtherInItsFile) {
    for (std::uint8_t fill : {0xAA, 0xBB}) {
        client->clear();
        startShortRecording(2, 0x03, 16);
        route(Bytes(32, fill));
        ASSERT_TRUE(waitForRecordAnswer());
    }
    EXPECT_EQ(readFile("raw2.bin"), std::string(32, '\xAA') + std::string(32, '\xBB'));
}

TEST_F(Recording, AWindowTheArmbandDoesNotFillInTimeIsGivenUpAndSavesNothing) {
    startShortRecording(5, 0x01, 32);
    route(Bytes(16, 1));
    ASSERT_TRUE(waitForRecordAnswer());
    EXPECT_EQ(client->messagesWithCode(0x06).at(0), (Bytes{0x06, 0xF0}));
    EXPECT_EQ(server.acquisition.dataMode, IDLE_MODE);
    EXPECT_FALSE(fileExists("raw5.bin"));
}

TEST_F(Recording, GestureNumbersBeyondEightAreRecordedToo) {
    startShortRecording(9, 0x01, 16);
    route(Bytes(16, 1));
    ASSERT_TRUE(waitForRecordAnswer());
    EXPECT_EQ(readFile("raw9.bin").size(), 16u);
}

TEST_F(Recording, StoppingAWindowAnswersStoppedWritesNothingAndNoDoneFollows) {
    startShortRecording(1, 0x01, 1000);
    route(Bytes(16, 1));
    command({STOP_RECORD});
    EXPECT_EQ(client->messages().back(), (Bytes{0x06, 0xFD}));
    EXPECT_EQ(server.acquisition.dataMode, IDLE_MODE);
    pumpEventsFor(server, 3 * std::chrono::milliseconds(kShortWindowMs));
    EXPECT_EQ(client->messagesWithCode(0x06).size(), 1u);
    EXPECT_FALSE(fileExists("raw1.bin"));
}

TEST_F(Recording, RecordCommandsRefuseTheWrongModeAndLength) {
    command({STOP_RECORD});
    command({START_RECORD});
    command({STOP_RECORD, 0});
    server.acquisition.dataMode = IDENTIFY_MODE;
    command({START_RECORD, 1});
    EXPECT_EQ(server.acquisition.dataMode, IDENTIFY_MODE);
    const std::vector<Bytes> refused(4, Bytes{0x06, 0xFF});
    EXPECT_EQ(client->messages(), refused);
}

TEST_F(Recording, ARawFileThatCannotBeOpenedAnswersFailed) {
    std::filesystem::create_directory("raw4.bin");
    startShortRecording(4, 0x01, 16);
    route(Bytes(16, 1));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(waitForRecordAnswer());
    EXPECT_NE(testing::internal::GetCapturedStdout().find("raw_file_name open error."),
              std::string::npos);
    EXPECT_EQ(client->messagesWithCode(0x06).at(0), (Bytes{0x06, 0xFF}));
}

TEST_F(Recording, AFailedWriteAnswersFailedInsteadOfDone) {
    std::filesystem::create_symlink("/dev/full", "raw6.bin");
    startShortRecording(6, 0x0F, 16);
    route(Bytes(64, 1));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(waitForRecordAnswer());
    EXPECT_NE(testing::internal::GetCapturedStdout().find("raw file raw6.bin write error"),
              std::string::npos);
    EXPECT_EQ(client->messagesWithCode(0x06).at(0), (Bytes{0x06, 0xFF}));
}

TEST_F(Recording, ADisconnectionDuringAWindowAnswersItLostAtOnce) {
    startShortRecording(7, 0x01, 1000);
    route(Bytes(16, 1));
    server.handle->onDeviceDisconnected(armband.device, 8);
    ASSERT_TRUE(armband.pumpUntil([this] { return !client->messagesWithCode(0x04).empty(); }));
    EXPECT_FALSE(server.recordingTimer.isRunning());
    EXPECT_EQ(server.acquisition.dataMode, IDLE_MODE);
    EXPECT_EQ(server.acquisition.recordingGesture, 0xFF);
    pumpEventsFor(server, 3 * std::chrono::milliseconds(kShortWindowMs));
    EXPECT_EQ(client->messagesWithCode(0x06), std::vector<Bytes>{(Bytes{0x06, 0xF2})});
    EXPECT_EQ(client->messagesWithCode(0x04).size(), 1u);
    EXPECT_FALSE(fileExists("raw7.bin"));
}

TEST(InternalEvents, OnlyTheWindowClosedCodeEndsARecording) {
    ScopedWorkingDirectory workingDirectory;
    ServerContext server{nullptr};
    ScopedCapturingClient client(server.clientRegistry);
    server.acquisition.dataMode = RECORD_MODE;
    const std::uint8_t other = 2;
    handleInternalEvents(server, &other, 1);
    testing::internal::CaptureStdout();
    handleInternalEvents(server, nullptr, 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Internal event format err!!!"),
              std::string::npos);
    EXPECT_EQ(server.acquisition.dataMode, RECORD_MODE);
    EXPECT_TRUE(client->messages().empty());
    EXPECT_TRUE(std::filesystem::is_empty("."));
}

}  // namespace
