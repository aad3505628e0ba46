#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "commands/client_commands.h"
#include "core/event_queue.h"
#include "device/acquisition_state.h"
#include "device/raw_data_routing.h"
#include "identify/identify_model_check.h"
#include "tests/support/capturing_client.h"
#include "tests/support/fake_device.h"
#include "tests/support/temp_dir.h"
#include "training/model_shape.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A model of `lines` lines of `values` numbers each, trained on gestures 1 to 3
// (and configured so).
void writeModel(int lines, int values) {
    std::string text;
    for (int line = 0; line < lines; ++line) {
        for (int value = 0; value < values; ++value) {
            text += value + 1 < values ? "0.500000 " : "-1.000000\n";
        }
    }
    writeFile("W&B.txt", text);
    writeFile("W&B.gestures", "0x07\n");
    gestureMask.store(0x07);
}

class IdentifyCommands : public testing::Test {
  protected:
    IdentifyCommands() { resetAcquisitionState(); }
    void command(const Bytes& message) { handleClientCommands(message.data(), message.size()); }
    std::string commandLog(const Bytes& message) {
        testing::internal::CaptureStdout();
        command(message);
        return testing::internal::GetCapturedStdout();
    }

    ScopedWorkingDirectory workingDirectory;
    FakeArmband armband;
    ScopedCapturingClient client;
};

TEST_F(IdentifyCommands, StartingSizesTheWindowFromTheModelAndSwitchesTheRawStreamOn) {
    writeModel(3, 9);
    channelCount.store(8);
    newModelFlag.store(0);
    const std::string log = commandLog({START_IDENTIFY});
    EXPECT_NE(log.find("start identify command recieved."), std::string::npos);
    EXPECT_NE(log.find("identify buffer length:1040"), std::string::npos);
    EXPECT_TRUE(client->messages().empty());
    EXPECT_EQ(dataMode.load(), IDENTIFY_MODE);
    EXPECT_EQ(identifyWindowLength.load(), 1040u);
    EXPECT_EQ(newModelFlag.load(), 1);
    EXPECT_EQ(armband.device->setting->switches(), std::vector<std::uint32_t>{0x80});
}

TEST_F(IdentifyCommands, WhileIdentifyingPacketsAreCutIntoHalfOverlappingWindows) {
    writeModel(3, 3);
    channelCount.store(2);
    command({START_IDENTIFY});
    ASSERT_EQ(identifyWindowLength.load(), 260u);
    for (std::uint8_t packet = 0; packet < 4; ++packet) {
        routeRawPacket(Bytes(128, packet));
    }
    const EventRecord first = identifyQueue.tryPop();
    const EventRecord second = identifyQueue.tryPop();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->size(), 260u);
    EXPECT_EQ((*first)[0], 0);
    // The second window starts 130 bytes after the first.
    EXPECT_EQ((*second)[0], 1);
    EXPECT_EQ((*second)[125], 1);
    EXPECT_EQ((*second)[126], 2);
    EXPECT_EQ(identifyQueue.tryPop(), nullptr);
}

TEST_F(IdentifyCommands, StartingWithoutAModelOrWhileBusyIsRefused) {
    channelCount.store(8);
    command({START_IDENTIFY});
    EXPECT_EQ(dataMode.load(), IDLE_MODE);
    writeModel(3, 9);
    dataMode.store(RECORD_MODE);
    command({START_IDENTIFY});
    EXPECT_EQ(dataMode.load(), RECORD_MODE);
    dataMode.store(IDLE_MODE);
    command({START_IDENTIFY, 0});
    EXPECT_EQ(client->messages(), std::vector<Bytes>(3, Bytes{0x08, 0xFF}));
    EXPECT_TRUE(armband.device->setting->switches().empty());
}

TEST_F(IdentifyCommands, AModelForOtherChannelsOrTooLargeForTheClassifierIsRefused) {
    channelCount.store(4);
    writeModel(3, 9);
    EXPECT_NE(commandLog({START_IDENTIFY}).find("8"), std::string::npos);
    writeModel(29, 5);
    command({START_IDENTIFY});
    channelCount.store(9);
    writeModel(3, 10);
    command({START_IDENTIFY});
    EXPECT_EQ(client->messages(), std::vector<Bytes>(3, Bytes{0x08, 0xFF}));
    EXPECT_EQ(dataMode.load(), IDLE_MODE);
}

TEST_F(IdentifyCommands, AModelOfOtherGesturesOrWithoutItsGesturesIsRefused) {
    writeModel(3, 9);
    channelCount.store(8);
    gestureMask.store(0x0B);
    EXPECT_NE(commandLog({START_IDENTIFY}).find("trained on gestures 0x07"), std::string::npos);
    std::remove("W&B.gestures");
    gestureMask.store(0x07);
    command({START_IDENTIFY});
    EXPECT_EQ(client->messages(), std::vector<Bytes>(2, Bytes{0x08, 0xFF}));
    EXPECT_EQ(dataMode.load(), IDLE_MODE);
}

TEST_F(IdentifyCommands, StoppingAnswersStoppedInEveryModeAndSwitchesARunningStreamOff) {
    for (std::int32_t mode : {IDLE_MODE, RECORD_MODE, IDENTIFY_MODE, GESTURE_MODE}) {
        dataMode.store(mode);
        command({STOP_IDENTIFY});
        EXPECT_EQ(dataMode.load(), IDLE_MODE);
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
