#include "server/device/tessel_handle.h"

#include <gtest/gtest.h>

#include <string>

#include <optional>

#include "server/device/hub_events.h"
#include "tests/support/event_pump.h"
#include "tests/support/simulated_armband.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using tessel::sim::Operation;

std::vector<Bytes> withoutPreview(const std::vector<Bytes>& messages) {
    std::vector<Bytes> kept;
    for (const Bytes& message : messages) {
        if (message.at(0) != 0x07) {
            kept.push_back(message);
        }
    }
    return kept;
}

// The status a stream switch ends with, once the main loop has run its `done`.
std::optional<std::uint8_t> switchAndWait(SimulatedArmband& armband, std::uint32_t flags) {
    std::optional<std::uint8_t> outcome;
    armband.server.handle->setDataNotifySwitch(
        flags, [&outcome](std::uint8_t status) { outcome = status; });
    armband.pumpUntil([&outcome] { return outcome.has_value(); }, 10s);
    return outcome;
}

TEST(TesselHandle, ScanningGoesOnUntilAnArmbandIsPresentThenReportsItFound) {
    SimulatedArmband armband;
    armband.wearer().setPresent(false);
    testing::internal::CaptureStdout();
    armband.command({0x02, 0x00});
    armband.pumpFor(300ms);
    EXPECT_TRUE(armband.client->messages().empty());
    armband.wearer().setPresent(true);
    ASSERT_TRUE(armband.waitForMessage({0x02, 0x00}));
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("TesselHandle::onScanFinished, no device found, continue scanning"),
              std::string::npos);
    EXPECT_NE(log.find("TesselHandle::onScanFinished, device found, wait for conn"),
              std::string::npos);
}

TEST(TesselHandle, ConnectingClosesEveryStreamAndOpensThePackageId) {
    SimulatedArmband armband;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(armband.scanAndConnect());
    armband.pumpFor(200ms);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("close all data notify when connected, result(0)"), std::string::npos);
    EXPECT_NE(log.find("open package id, result(0)"), std::string::npos);
    EXPECT_EQ(armband.server.handle->currentDevice()->getConnectionState(), tessel::Connected);
}

TEST(TesselHandle, ConnectingTwiceOrDisconnectingWhenNotConnectedIsRefused) {
    SimulatedArmband armband;
    armband.command({0x02, 0x00});
    ASSERT_TRUE(armband.waitForMessage({0x02, 0x00}));
    armband.command({0x04});
    EXPECT_EQ(armband.client->messages().back(), (Bytes{0x04, 0xFF}));
    armband.command({0x03});
    ASSERT_TRUE(armband.waitForMessage({0x03, 0x00}));
    armband.command({0x03});
    EXPECT_EQ(armband.client->messages().back(), (Bytes{0x03, 0xFF}));
}

TEST(TesselHandle, ADisconnectionResetsTheAcquisitionStateAndCancelsTheRecordingWindow) {
    SimulatedArmband armband;
    ASSERT_TRUE(armband.scanAndConnect());
    armband.command({0x05, 0x0F, 0x07});
    ASSERT_TRUE(armband.waitForMessage({0x05, 0x00}));
    armband.command({0x06, 2});
    const ServerContext& server = armband.server;
    EXPECT_EQ(server.acquisition.dataMode, RECORD_MODE);
    ASSERT_TRUE(armband.pumpUntil([&server] { return server.recordingTimer.isRunning(); }));
    armband.command({0x04});
    ASSERT_TRUE(armband.waitForMessage({0x04, 0x00}));
    EXPECT_EQ(server.acquisition.dataMode, IDLE_MODE);
    EXPECT_FALSE(server.recordingTimer.isRunning());
    EXPECT_EQ(server.acquisition.window.open, 0u);
    EXPECT_EQ(server.acquisition.channelMask, 0);
    EXPECT_EQ(server.acquisition.gestureCount, 0);
    EXPECT_EQ(server.acquisition.recordingGesture, 0xFF);
    EXPECT_EQ(server.handle->currentDevice(), nullptr);
    EXPECT_EQ(armband.client->messagesWithCode(0x06), (std::vector<Bytes>{{0x06, 0xF2}}));
}

TEST(TesselHandle, ALostLinkIsReportedToClients) {
    SimulatedArmband armband;
    ASSERT_TRUE(armband.scanAndConnect());
    armband.wearer().drop();
    ASSERT_TRUE(armband.waitForMessage({0x04, 0x00}));
}

TEST(TesselHandle, RawConfigurationOutcomesReachClients) {
    SimulatedArmband armband;
    armband.command({0x05, 0x03, 0x03});
    ASSERT_TRUE(armband.waitForMessage({0x05, 0xF2}));
    ASSERT_TRUE(armband.scanAndConnect());
    armband.command({0x05, 0x03, 0x03});
    ASSERT_TRUE(armband.waitForMessage({0x05, 0x00}));
    armband.wearer().fail(Operation::SetEmgRawDataConfig);
    armband.command({0x05, 0x03, 0x03});
    ASSERT_TRUE(armband.waitForMessage({0x05, 0xF0}));
    armband.wearer().setSettingAvailable(false);
    armband.command({0x05, 0x03, 0x03});
    ASSERT_TRUE(armband.waitForMessage({0x05, 0xF1}));
}

Bytes modelImage(std::uint8_t gestures, std::uint16_t dataLength) {
    Bytes image(48 + dataLength, 0);
    image[0] = 0xFF;
    image[1] = gestures;
    image[2] = static_cast<std::uint8_t>(dataLength & 0xFF);
    image[3] = static_cast<std::uint8_t>(dataLength >> 8);
    return image;
}

TEST(TesselHandle, AnUploadReportsItsProgressUpToAHundredThenDone) {
    SimulatedArmband armband;
    ASSERT_TRUE(armband.scanAndConnect());
    armband.client->clear();
    const Bytes image = modelImage(3, 112);
    armband.server.handle->trainModelUpdate(static_cast<std::uint32_t>(image.size()), image.data());
    ASSERT_TRUE(armband.waitForMessage({0x0C}));
    const auto messages = withoutPreview(armband.client->messages());
    ASSERT_GE(messages.size(), 3u);
    for (std::size_t i = 0; i + 2 < messages.size(); ++i) {
        EXPECT_EQ(messages[i][0], 0x0D);
        EXPECT_LT(messages[i][1], 100);
        if (i > 0) {
            EXPECT_GT(messages[i][1], messages[i - 1][1]);
        }
    }
    EXPECT_EQ(messages[messages.size() - 2], (Bytes{0x0D, 100}));
    EXPECT_EQ(messages.back(), (Bytes{0x0C, 0x00}));
    EXPECT_EQ(armband.wearer().lastModel(), image);
}

TEST(TesselHandle, AFailedUploadEndsWithADeviceErrorAndNoMoreProgress) {
    SimulatedArmband armband;
    ASSERT_TRUE(armband.scanAndConnect());
    armband.client->clear();
    const Bytes malformed = modelImage(9, 112);
    armband.server.handle->trainModelUpdate(static_cast<std::uint32_t>(malformed.size()),
                                            malformed.data());
    ASSERT_TRUE(armband.waitForMessage({0x0C}));
    armband.pumpFor(200ms);
    EXPECT_EQ(withoutPreview(armband.client->messages()), (std::vector<Bytes>{{0x0C, 0xF0}}));
}

TEST(TesselHandle, ArmbandGesturesReachClientsOnlyWhileStreamingGestures) {
    SimulatedArmband armband;
    ASSERT_TRUE(armband.scanAndConnect());
    armband.client->clear();
    const auto& handle = armband.server.handle;
    handle->onGestureData(handle->currentDevice(), 2);
    armband.pumpFor(100ms);
    EXPECT_TRUE(armband.client->messages().empty());

    armband.command({0x10});
    EXPECT_EQ(armband.server.acquisition.dataMode, GESTURE_MODE);
    armband.wearer().hold(1);
    ASSERT_TRUE(armband.waitForMessage({0x10, 0x01}));
    testing::internal::CaptureStdout();
    handle->onGestureData(handle->currentDevice(), 200);
    ASSERT_TRUE(armband.waitForMessage({0x10, 200}));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("TesselHandle::onGestureData, Undefined"),
              std::string::npos);
    armband.command({0x11});
    EXPECT_EQ(armband.client->messages().back(), (Bytes{0x10, 0xFD}));
    EXPECT_EQ(armband.server.acquisition.dataMode, IDLE_MODE);
}

TEST(TesselHandle, DeviceStatusIsOnlyLoggedWithItsName) {
    SimulatedArmband armband;
    ASSERT_TRUE(armband.scanAndConnect());
    armband.client->clear();
    testing::internal::CaptureStdout();
    const auto& handle = armband.server.handle;
    handle->onDeviceStatusChanged(handle->currentDevice(), 9);
    handle->onDeviceStatusChanged(handle->currentDevice(), 4);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("TesselHandle::onDeviceStatusChanged, Undefined:9"), std::string::npos);
    EXPECT_NE(log.find("TesselHandle::onDeviceStatusChanged, Motionless"), std::string::npos);
    EXPECT_TRUE(armband.client->messages().empty());
}

TEST(TesselHandle, StreamSwitchingGivesUpAfterThreeRefusals) {
    SimulatedArmband armband;
    ASSERT_TRUE(armband.scanAndConnect());
    armband.pumpFor(100ms);
    armband.wearer().fail(Operation::SetDataNotifySwitch, 3);
    testing::internal::CaptureStdout();
    EXPECT_EQ(switchAndWait(armband, 0x40), STATUS_DEVICE_ERROR);
    const std::string log = testing::internal::GetCapturedStdout();
    std::size_t failures = 0;
    for (auto at = log.find("setDataNotifySwitch, result(1)"); at != std::string::npos;
         at = log.find("setDataNotifySwitch, result(1)", at + 1)) {
        ++failures;
    }
    EXPECT_EQ(failures, 3u);
    EXPECT_EQ(armband.wearer().status().streams, 0u);
}

TEST(TesselHandle, AnArmbandThatNeverAnswersCostsABoundedWait) {
    SimulatedArmband armband;
    ASSERT_TRUE(armband.scanAndConnect());
    armband.wearer().mute(Operation::SetDataNotifySwitch, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(switchAndWait(armband, 0x40), 0x00);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("TesselHandle::setDataNotifySwitch, no answer within 500 ms"),
              std::string::npos);
    // The second attempt was answered.
    EXPECT_EQ(armband.wearer().status().streams, 0x40u);
}

TEST(TesselHandle, StreamSwitchingWithoutAnArmbandReturnsAtOnce) {
    SimulatedArmband armband;
    testing::internal::CaptureStdout();
    EXPECT_EQ(switchAndWait(armband, 0x80), STATUS_NO_DEVICE);
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "TesselHandle::setDataNotifySwitch, device not exist"),
              std::string::npos);
}

TEST(TesselHandle, VersionsOfAConnectedArmbandAreReported) {
    SimulatedArmband armband;
    ASSERT_TRUE(armband.scanAndConnect());
    armband.command({0x30});
    ASSERT_TRUE(armband.waitForMessage({0x30}));
    const auto answer = armband.client->messagesWithCode(0x30);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(std::string(answer[0].begin() + 1, answer[0].end()),
              "000.005.002/001.004.027/003.000.000");
    armband.wearer().fail(Operation::QueryFirmwareVersion);
    armband.command({0x30});
    ASSERT_TRUE(
        armband.pumpUntil([&] { return armband.client->messagesWithCode(0x30).size() == 2; }));
    const auto second = armband.client->messagesWithCode(0x30).at(1);
    EXPECT_EQ(std::string(second.begin() + 1, second.end()), "000.005.002/---.---.---/003.000.000");
}

}  // namespace
