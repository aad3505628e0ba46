// Every command gets exactly one true answer within a bounded time, also when
// the armband has gone, never answers or refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "tests/support/http_exchange.h"
#include "tests/support/server_fixtures.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

// A bounded wait of the server gives up after 5 s of real time.
constexpr auto kGiveUp = 15s;

class Answers : public ServerWithClient {
  protected:
    void scan() {
        client().send({0x02, 0x00});
        ASSERT_EQ(client().nextWithCode(0x02), (Bytes{0x02, 0x00})) << server.log();
    }
    void connectArmband() {
        scan();
        client().send({0x03});
        ASSERT_EQ(client().nextWithCode(0x03), (Bytes{0x03, 0x00})) << server.log();
    }
    // A model of 8 channels and gestures 1, 2 and 3, as a generation leaves it.
    void writeModel() {
        std::string line;
        for (int value = 0; value < 8; ++value) {
            line += "0.500000 ";
        }
        line += "-1.000000\n";
        writeFile(server.file("W&B.txt"), line + line + line);
        writeFile(server.file("W&B.gestures"), "0x07\n");
    }
};

TEST_F(Answers, ConnectingToAnArmbandThatHasGoneIsAnsweredFailed) {
    scan();
    ASSERT_EQ(server.sim("absent"), "ok");
    EXPECT_EQ(answerTo({0x03}), (Bytes{0x03, 0xF0}));
    EXPECT_TRUE(server.waitForLog("TesselHandle::onDeviceConnectFailed"));
    ASSERT_EQ(server.sim("present"), "ok");
    connectArmband();
}

TEST_F(Answers, AConnectionThatNeverCompletesIsGivenUpAndEveryRefusalSaysTheTrueReason) {
    scan();
    ASSERT_EQ(server.sim("mute connect"), "ok");
    EXPECT_EQ(answerTo({0x03}, kGiveUp), (Bytes{0x03, 0xF0}));
    EXPECT_TRUE(server.waitForLog("TesselHandle::connect, no answer within 5000 ms, given up"));
    // The armband given up is no longer known: scan again.
    EXPECT_EQ(answerTo({0x03}), (Bytes{0x03, 0xF2}));
    EXPECT_EQ(answerTo({0x04}), (Bytes{0x04, 0xF2}));
    writeModel();
    connectArmband();
    ASSERT_EQ(answerTo({0x05, 0xFF, 0x07}), (Bytes{0x05, 0x00}));
    ASSERT_EQ(server.sim("drop"), "ok");
    ASSERT_EQ(client().nextWithCode(0x04), (Bytes{0x04, 0x00}));
    EXPECT_EQ(answerTo({0x0C}), (Bytes{0x0C, 0xF2})) << "an upload after the armband dropped";
    EXPECT_EQ(answerTo({0x08}), (Bytes{0x08, 0xF2}));
    connectArmband();
    EXPECT_EQ(answerTo({0x04}), (Bytes{0x04, 0x00}));
}

TEST_F(Answers, AScanIsBoundedExtendedByAnotherAndStoppedByStopIdentify) {
    ASSERT_EQ(server.sim("absent"), "ok");
    client().send({0x02, 0x00});
    client().send({0x02, 0x00});
    EXPECT_TRUE(server.waitForLog("the scan under way goes on for 30000 ms from now"));
    client().send({0x09});
    EXPECT_EQ(client().nextWithCode(0x02), (Bytes{0x02, 0xFD}));
    EXPECT_EQ(client().nextWithCode(0x08), (Bytes{0x08, 0xFD}));
    EXPECT_TRUE(client().silentFor(4s)) << "a stopped scan answers nothing more";

    const auto started = std::chrono::steady_clock::now();
    client().send({0x02, 0x00});
    EXPECT_EQ(client().nextWithCode(0x02, 45s), (Bytes{0x02, 0xF0}));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("a scan with no armband answered 02 F0 after %.1f s\n", seconds);
    EXPECT_TRUE(server.waitForLog("no armband found within 30000 ms, given up"));
    ASSERT_EQ(server.sim("present"), "ok");
    connectArmband();
}

TEST_F(Answers, ARawConfigurationTheArmbandNeverAnswersIsGivenUp) {
    connectArmband();
    ASSERT_EQ(server.sim("mute setEmgRawDataConfig"), "ok");
    EXPECT_EQ(answerTo({0x05, 0xFF, 0x07}, kGiveUp), (Bytes{0x05, 0xF0}));
    EXPECT_TRUE(
        server.waitForLog("TesselHandle::setEmgRawDataConfig, no answer within 5000 ms, given up"));
    EXPECT_EQ(answerTo({0x05, 0xFF, 0x07}), (Bytes{0x05, 0x00}));
}

TEST_F(Answers, AnUploadWhoseProgressStopsIsGivenUp) {
    writeModel();
    connectArmband();
    ASSERT_EQ(answerTo({0x05, 0xFF, 0x07}), (Bytes{0x05, 0x00}));
    ASSERT_EQ(server.sim("mute trainModelUpdate"), "ok");
    EXPECT_EQ(answerTo({0x0C}, kGiveUp), (Bytes{0x0C, 0xF0}));
    EXPECT_TRUE(
        server.waitForLog("TesselHandle::trainModelUpdate, no progress within 5000 ms, given up"));
}

TEST_F(Answers, WithoutAnArmbandCommandsThatNeedItAnswerNoArmbandAtOnceAndChangeNothing) {
    writeModel();
    EXPECT_EQ(answerTo({0x05, 0xFF, 0x07}), (Bytes{0x05, 0xF2}));
    EXPECT_EQ(answerTo({0x0C}), (Bytes{0x0C, 0xF2}));
    EXPECT_EQ(answerTo({0x10}), (Bytes{0x10, 0xF2}));
    EXPECT_EQ(answerTo({0x10}), (Bytes{0x10, 0xF2})) << "the mode stayed idle";
    EXPECT_EQ(answerTo({0x06, 0x01}), (Bytes{0x06, 0xF2}));
    EXPECT_EQ(answerTo({0x08}), (Bytes{0x08, 0xF2}));
    EXPECT_EQ(answerTo({0x12}), (Bytes{0x12, 0xF2}));
    EXPECT_EQ(answerTo({0x07}), (Bytes{0x06, 0xFF})) << "no recording runs";
    EXPECT_FALSE(fileExists(server.file("model.bin")));
    EXPECT_FALSE(fileExists(server.file("raw1.bin")));
}

TEST_F(Answers, StreamsTheArmbandRefusesAreAnsweredFailedAndLeaveTheServerIdle) {
    writeModel();
    connectArmband();
    ASSERT_EQ(answerTo({0x05, 0xFF, 0x07}), (Bytes{0x05, 0x00}));
    for (const Bytes& start : {Bytes{0x06, 0x01}, Bytes{0x08}, Bytes{0x10}}) {
        ASSERT_EQ(server.sim("fail setDataNotifySwitch 3"), "ok");
        EXPECT_EQ(answerTo(start), (Bytes{start[0], 0xF0})) << hex(start);
    }
    EXPECT_FALSE(fileExists(server.file("raw1.bin")));
    // Idle: a stream starts now, and its gestures arrive.
    client().send({0x10});
    ASSERT_EQ(server.sim("hold 1"), "ok");
    EXPECT_EQ(client().nextWithCode(0x10), (Bytes{0x10, 0x01}));
    EXPECT_EQ(answerTo({0x11}), (Bytes{0x10, 0xFD}));
    ASSERT_EQ(server.sim("nosetting"), "ok");
    EXPECT_EQ(answerTo({0x0C}), (Bytes{0x0C, 0xF1}));
    EXPECT_FALSE(fileExists(server.file("model.bin")));
}

TEST_F(Answers, ThePreviewRunsWhileIdleOrIdentifyingUntilStoppedOrNeededElsewhere) {
    writeModel();
    connectArmband();
    ASSERT_EQ(answerTo({0x05, 0xFF, 0x07}), (Bytes{0x05, 0x00}));
    EXPECT_EQ(answerTo({0x13}), (Bytes{0x12, 0xFC})) << "no preview runs";
    EXPECT_EQ(answerTo({0x12}), (Bytes{0x12, 0x00}));
    EXPECT_EQ(client().nextWithCode(0x07).value_or(Bytes{}).size(), 33u) << "while idle";
    EXPECT_TRUE(
        contains(httpRequest(server.port(), "GET", "/api/status").body, "\"preview\": true"));
    client().send({0x08});
    EXPECT_EQ(answerTo({0x12}), (Bytes{0x12, 0x00}));
    EXPECT_EQ(client().nextWithCode(0x07).value_or(Bytes{}).size(), 33u) << "while identifying";
    client().send({0x09});
    EXPECT_EQ(client().nextWithCode(0x12), (Bytes{0x12, 0xFD})) << "identification ended";

    EXPECT_EQ(answerTo({0x12}), (Bytes{0x12, 0x00}));
    client().send({0x06, 0x01});
    EXPECT_EQ(client().nextWithCode(0x12), (Bytes{0x12, 0xFD})) << "a recording takes over";
    EXPECT_EQ(answerTo({0x12}), (Bytes{0x12, 0xFC})) << "while recording";
    EXPECT_EQ(answerTo({0x07}), (Bytes{0x06, 0xFD}));

    EXPECT_EQ(answerTo({0x12}), (Bytes{0x12, 0x00}));
    EXPECT_EQ(answerTo({0x13}), (Bytes{0x12, 0xFD}));
    EXPECT_EQ(answerTo({0x12}), (Bytes{0x12, 0x00}));
    ASSERT_EQ(server.sim("drop"), "ok");
    EXPECT_EQ(client().nextWithCode(0x12), (Bytes{0x12, 0xFD})) << "the armband went";
    EXPECT_TRUE(
        contains(httpRequest(server.port(), "GET", "/api/status").body, "\"preview\": false"));
}

}  // namespace
