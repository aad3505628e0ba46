// Messages from the server, in words.
#include "tools/client/message_text.h"

#include <gtest/gtest.h>

#include "tests/support/text.h"

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(MessageText, EveryStatusHasItsName) {
    EXPECT_EQ(statusName(0x00), "STATUS_OK");
    EXPECT_EQ(statusName(0xFF), "STATUS_FAILED");
    EXPECT_EQ(statusName(0xFD), "STATUS_STOPPED");
    EXPECT_EQ(statusName(0xFC), "STATUS_WRONG_MODE");
    EXPECT_EQ(statusName(0xEF), "STATUS_BAD_LENGTH");
    EXPECT_EQ(statusName(0xEE), "STATUS_FILE_ERROR");
    EXPECT_EQ(statusName(0xF0), "STATUS_DEVICE_ERROR");
    EXPECT_EQ(statusName(0xF1), "STATUS_NO_SETTING");
    EXPECT_EQ(statusName(0xF2), "STATUS_NO_DEVICE");
}

TEST(MessageText, AStatusWithoutANameShowsItsValue) {
    EXPECT_EQ(statusName(0x12), "status 0x12");
    EXPECT_EQ(statusName(0xFE), "status 0xFE");
}

TEST(MessageText, ArmbandGesturesAreNamedAndUnnamedOnesKeepTheirValue) {
    const std::vector<std::string> names = {
        "Relax",       "Fist",        "Spread",      "WaveIn",      "WaveOut",     "Pinch",
        "Shoot",       "UserDefine1", "UserDefine2", "UserDefine3", "UserDefine4", "UserDefine5",
        "UserDefine6", "UserDefine7", "UserDefine8", "UserDefine9"};
    for (std::size_t g = 0; g < names.size(); ++g) {
        EXPECT_EQ(armbandGestureText(static_cast<std::uint8_t>(g)), names[g]);
    }
    EXPECT_EQ(armbandGestureText(16), "Undefined (16)");
    EXPECT_EQ(armbandGestureText(200), "Undefined (200)");
}

TEST(MessageText, IdentificationReportsNameTheGestureNumberOrNone) {
    for (std::uint8_t n = 1; n <= 8; ++n) {
        EXPECT_EQ(identifiedGestureText(n), "gesture " + std::to_string(n));
    }
    EXPECT_EQ(identifiedGestureText(0xFF), "no gesture");
    EXPECT_EQ(identifiedGestureText(0), "unknown gesture number 0x00");
    EXPECT_EQ(identifiedGestureText(9), "unknown gesture number 0x09");
}

TEST(MessageText, DeviceNotificationsReadAsWhatHappened) {
    EXPECT_TRUE(contains(describeMessage({0x02, 0x00}), "device found"));
    EXPECT_EQ(describeMessage({0x03, 0x00}), "armband connected");
    EXPECT_EQ(describeMessage({0x04, 0x00}), "armband disconnected");
    EXPECT_EQ(describeMessage({0x0D, 37}), "model upload progress: 37%");
    EXPECT_EQ(describeMessage({0x10, 0x01}), "armband gesture: Fist");
    EXPECT_EQ(describeMessage({0x10, 200}), "armband gesture: Undefined (200)");
}

TEST(MessageText, RefusalsNameTheCommandAndTheStatus) {
    EXPECT_TRUE(contains(describeMessage({0x01, 0xFF}), "PING refused: STATUS_FAILED"));
    EXPECT_TRUE(contains(describeMessage({0x02, 0xFF}), "SCAN_DEVICE refused: STATUS_FAILED"));
    EXPECT_TRUE(contains(describeMessage({0x03, 0xFF}), "CONNECT_DEVICE refused: STATUS_FAILED"));
    EXPECT_TRUE(
        contains(describeMessage({0x04, 0xFF}), "DISCONNECT_DEVICE refused: STATUS_FAILED"));
    EXPECT_TRUE(contains(describeMessage({0x05, 0xFF}), "SET_EMG_CONFIG refused: STATUS_FAILED"));
    EXPECT_TRUE(contains(describeMessage({0x10, 0xFC}), "STATUS_WRONG_MODE"));
    EXPECT_TRUE(contains(describeMessage({0x0C, 0xEF}), "MODEL_UPDATE refused: STATUS_BAD_LENGTH"));
    EXPECT_TRUE(contains(describeMessage({0x0C, 0xFF}), "MODEL_UPDATE refused: STATUS_FAILED"));
    EXPECT_TRUE(contains(describeMessage({0x0C, 0xEE}), "STATUS_FILE_ERROR"));
}

TEST(MessageText, EachConfigurationOutcomeIsTold) {
    EXPECT_EQ(describeMessage({0x05, 0x00}), "EMG configuration applied: STATUS_OK");
    EXPECT_TRUE(contains(configOutcomeText(0xF0), "failed: STATUS_DEVICE_ERROR"));
    EXPECT_TRUE(contains(configOutcomeText(0xF1), "failed: STATUS_NO_SETTING"));
    EXPECT_TRUE(contains(configOutcomeText(0xF2), "failed: STATUS_NO_DEVICE"));
    EXPECT_TRUE(contains(configOutcomeText(0xF2), "connect"));
    EXPECT_TRUE(contains(configOutcomeText(0x42), "status 0x42"));
}

TEST(MessageText, RecordingIdentificationAndStreamEndsAreTold) {
    EXPECT_TRUE(contains(describeMessage({0x06, 0x00}), "raw file written"));
    EXPECT_TRUE(contains(describeMessage({0x06, 0xFD}), "recording stopped: STATUS_STOPPED"));
    EXPECT_TRUE(contains(describeMessage({0x06, 0xFF}), "recording failed: STATUS_FAILED"));
    EXPECT_TRUE(contains(describeMessage({0x06, 0xF2}), "its link dropped; nothing written"));
    EXPECT_TRUE(contains(describeMessage({0x02, 0xF0}), "no armband found within 30 s"));
    EXPECT_TRUE(contains(describeMessage({0x03, 0xF2}), "no armband is known; scan first"));
    EXPECT_EQ(describeMessage({0x08, 0x03}), "identified: gesture 3");
    EXPECT_TRUE(contains(describeMessage({0x08, 0xFF}), "no gesture"));
    EXPECT_TRUE(contains(describeMessage({0x08, 0xFF}), "START_IDENTIFY refused"));
    EXPECT_EQ(describeMessage({0x08, 0xFD}), "identification stopped: STATUS_STOPPED");
    EXPECT_EQ(describeMessage({0x10, 0xFD}), "gesture stream stopped: STATUS_STOPPED");
}

TEST(MessageText, UploadEndsAreTold) {
    EXPECT_TRUE(contains(uploadOutcomeText(0x00), "finished: STATUS_OK"));
    EXPECT_TRUE(contains(uploadOutcomeText(0xF0), "failed: STATUS_DEVICE_ERROR"));
    EXPECT_TRUE(contains(uploadOutcomeText(0xFD), "not interrupted"));
    EXPECT_EQ(describeMessage({0x0C, 0x00}), uploadOutcomeText(0x00));
}

TEST(MessageText, OnlyASingleOkIsASuccessfulGeneration) {
    EXPECT_TRUE(generateSucceeded({0x00}));
    EXPECT_FALSE(generateSucceeded({0xFF}));
    EXPECT_FALSE(generateSucceeded({0xEE}));
    // Trained from stale features after a raw file went missing: not a success.
    EXPECT_FALSE(generateSucceeded({0xFF, 0x00}));
    EXPECT_FALSE(generateSucceeded({}));
}

TEST(MessageText, GenerationStatusesAreToldStepByStep) {
    EXPECT_TRUE(contains(generateOutcomeText({0x00}), "W&B.txt written"));
    EXPECT_TRUE(contains(generateOutcomeText({0xEE}), "feature file is missing"));
    EXPECT_TRUE(contains(generateOutcomeText({0xFF}), "training failed"));
    const std::string missingRaw = generateOutcomeText({0xFF, 0xEE});
    EXPECT_TRUE(contains(missingRaw, "raw file could not be opened"));
    EXPECT_TRUE(contains(missingRaw, "then STATUS_FILE_ERROR"));
    EXPECT_TRUE(contains(generateOutcomeText({0xFF, 0x00}), "without the missing recordings"));
    EXPECT_TRUE(
        contains(generateOutcomeText({0xFF, 0xFF}), "then STATUS_FAILED (training failed)"));
    EXPECT_TRUE(contains(describeMessage({0x0A, 0xFF, 0xEE}), "model generation: STATUS_FAILED"));
}

TEST(MessageText, AVersionAnswerSplitsIntoItsThreeVersions) {
    const std::string text = "0000.005.002/001.004.027/003.000.000";
    VersionAnswer version;
    ASSERT_TRUE(parseVersionAnswer(Bytes(text.begin(), text.end()), version));
    EXPECT_EQ(version.text, "000.005.002/001.004.027/003.000.000");
    EXPECT_EQ(version.server, "000.005.002");
    EXPECT_EQ(version.firmware, "001.004.027");
    EXPECT_EQ(version.hardware, "003.000.000");
    EXPECT_EQ(describeMessage(Bytes(text.begin(), text.end())),
              "version: server 000.005.002, armband firmware 001.004.027, hardware 003.000.000");
}

TEST(MessageText, AVersionAnswerOfTheWrongShapeIsRefused) {
    VersionAnswer version;
    const std::string shortText = "0000.005.002/---.---.---";
    EXPECT_FALSE(parseVersionAnswer(Bytes(shortText.begin(), shortText.end()), version));
    const std::string noSlashes = "0000.005.002x---.---.---x---.---.---";
    EXPECT_FALSE(parseVersionAnswer(Bytes(noSlashes.begin(), noSlashes.end()), version));
    EXPECT_TRUE(contains(describeMessage(Bytes(shortText.begin(), shortText.end())), "malformed"));
}

TEST(MessageText, PreviewFramesAreSummarised) {
    Bytes frame(1 + 4 * 8, 100);
    frame[0] = 0x07;
    EXPECT_EQ(describeMessage(frame), "preview frame: 8 channels, activity 0.0");
    EXPECT_TRUE(contains(describeMessage({0x07, 1, 2}), "malformed preview frame of 3 bytes"));
}

TEST(MessageText, OddMessagesAreToldForWhatTheyAre) {
    EXPECT_EQ(describeMessage({}), "empty message");
    EXPECT_EQ(describeMessage({0x42, 0x00}), "unknown message");
    EXPECT_EQ(describeMessage({0x01, 0x00, 0x00}), "unknown message of 3 bytes");
    EXPECT_EQ(describeMessage({0x01}), "unknown message of 1 bytes");
}

}  // namespace
