// A recording window holds exactly its 30 s of EMG whatever the main loop is
// doing; one cut short is never written nor answered as done; the
// configuration cannot change under a recording.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "protocol/emg_rate.h"
#include "tests/support/server_fixtures.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

class RecordingWindows : public ServerWithArmband {
  protected:
    void SetUp() override {
        ServerWithArmband::SetUp();
        if (!HasFatalFailure()) {
            ASSERT_NO_FATAL_FAILURE(configureEmg(client(), 0xFF, 0x07));
        }
    }
    void startRecording() {
        client().send({0x06, 0x01});
        ASSERT_TRUE(client().nextWithCode(0x07)) << "no preview: the window did not start";
    }
    // Nothing was written and no 06 00 follows, even after the window's time.
    void expectAbandoned() {
        const auto late = client().nextWithCode(0x06, server.realTime(30s) + 8s);
        EXPECT_FALSE(late) << hex(late.value_or(Bytes{}));
        EXPECT_FALSE(fileExists(server.file("raw1.bin")));
    }
};

TEST_F(RecordingWindows, StopIdentifyDuringARecordingAbandonsItsWindow) {
    startRecording();
    client().send({0x05, 0x0F, 0x07});
    EXPECT_EQ(client().nextWithCode(0x05), (Bytes{0x05, 0xFC})) << "no change while recording";
    client().send({0x09});
    EXPECT_EQ(client().nextWithCode(0x06), (Bytes{0x06, 0xFD}));
    EXPECT_EQ(client().nextWithCode(0x08), (Bytes{0x08, 0xFD}));
    expectAbandoned();
}

TEST_F(RecordingWindows, AWindowHoldsExactlyThirtySecondsOfEmgWhileTheArmbandIsWaitedFor) {
    startRecording();
    // Three version queries the armband never answers wait 2 s together
    // (one query answers all three), as long as the sped-up window.
    ASSERT_EQ(server.sim("mute queryHardwareVersion 3"), "ok");
    for (int i = 0; i < 3; ++i) {
        client().send({0x30});
    }
    std::optional<Bytes> windowAnswer;
    std::vector<Bytes> versions;
    while (!windowAnswer || versions.size() < 3) {
        const auto message = client().next(30s);
        ASSERT_TRUE(message) << server.log();
        if ((*message)[0] == 0x06) {
            windowAnswer = message;
        } else if ((*message)[0] == 0x30) {
            versions.push_back(*message);
        }
    }
    EXPECT_EQ(windowAnswer, (Bytes{0x06, 0x00}));
    for (const Bytes& version : versions) {
        EXPECT_EQ(std::string(version.begin() + 25, version.end()), "---.---.---");
    }
    EXPECT_EQ(server.countInLog("TesselHandle::getVersions, no answer within"), 1);
    const std::size_t frames = readFile(server.file("raw1.bin")).size() / 8;
    EXPECT_EQ(frames, 19500u);
    std::printf("a window recorded while the main loop stalled holds %.2f s of EMG\n",
                static_cast<double>(frames) / kEmgFramesPerSecond);
    EXPECT_EQ(readFile(server.file("raw1.windows")).substr(0, 13), "0 156000 255 ");
}

TEST_F(RecordingWindows, ALinkDropDuringARecordingAnswersItLostAtOnce) {
    startRecording();
    ASSERT_EQ(server.sim("drop"), "ok");
    EXPECT_EQ(client().nextWithCode(0x06, 5s), (Bytes{0x06, 0xF2}));
    EXPECT_EQ(client().nextWithCode(0x04, 5s), (Bytes{0x04, 0x00}));
    expectAbandoned();
}

}  // namespace
