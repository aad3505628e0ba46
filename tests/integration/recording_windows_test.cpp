// A recording window cut short is never written nor answered as done, and the
// configuration cannot change under a recording.
#include <gtest/gtest.h>

#include <memory>
#include <string>

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
    // The window's time is up, and the switch-off that ends it waits for an
    // armband that does not answer (three times 2 s): a command sent now lands
    // between the window's end and its closing.
    void holdTheWindowsEnd() {
        ASSERT_EQ(server.sim("mute setDataNotifySwitch 3"), "ok");
        ASSERT_TRUE(server.waitForLog("TIMER_EVT: 0x01", 10s)) << server.log();
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

TEST_F(RecordingWindows, AStopBetweenTheWindowsEndAndItsClosingAbandonsIt) {
    startRecording();
    holdTheWindowsEnd();
    client().send({0x07});
    EXPECT_EQ(client().nextWithCode(0x06, 20s), (Bytes{0x06, 0xFD}));
    expectAbandoned();
}

TEST_F(RecordingWindows, ADisconnectionBetweenTheWindowsEndAndItsClosingAbandonsIt) {
    startRecording();
    holdTheWindowsEnd();
    ASSERT_EQ(server.sim("drop"), "ok");
    EXPECT_EQ(client().nextWithCode(0x04, 20s), (Bytes{0x04, 0x00}));
    expectAbandoned();
}

}  // namespace
