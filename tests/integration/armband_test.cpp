// The server binary with its simulated armband: scanning, connecting, the
// armband's own gestures, and an armband that misbehaves on purpose.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/server_fixtures.h"
#include "tests/support/server_process.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

class Armband : public ServerWithClient {
  protected:
    void TearDown() override {
        if (server.running()) {
            client().send({0xFF});
            EXPECT_EQ(server.waitForExit(), 0) << server.log();
        }
    }
    void scanAndConnect() { ASSERT_NO_FATAL_FAILURE(::scanAndConnect(client())); }
};

TEST_F(Armband, ScanConnectAndReadTheVersions) {
    scanAndConnect();
    client().send({0x30});
    EXPECT_EQ(client().nextWithCode(0x30), bytesOf("0000.005.002/001.004.027/003.000.000"));
    client().send({0x04});
    EXPECT_EQ(client().nextWithCode(0x04), (Bytes{0x04, 0x00}));
}

TEST_F(Armband, EveryClientHearsTheArmbandComeAndGo) {
    WireClient other(server.port());
    ASSERT_TRUE(other.connected());
    scanAndConnect();
    EXPECT_EQ(other.nextWithCode(0x02), (Bytes{0x02, 0x00}));
    EXPECT_EQ(other.nextWithCode(0x03), (Bytes{0x03, 0x00}));
    EXPECT_EQ(server.sim("drop"), "ok");
    EXPECT_EQ(client().nextWithCode(0x04), (Bytes{0x04, 0x00}));
    EXPECT_EQ(other.nextWithCode(0x04), (Bytes{0x04, 0x00}));
}

TEST_F(Armband, TheWearersGesturesStreamToClients) {
    scanAndConnect();
    client().send({0x10});
    ASSERT_EQ(server.sim("hold 1"), "ok");
    EXPECT_EQ(client().nextWithCode(0x10), (Bytes{0x10, 0x01}));
    ASSERT_EQ(server.sim("rest"), "ok");
    EXPECT_EQ(client().nextWithCode(0x10), (Bytes{0x10, 0x00}));
    client().send({0x11});
    EXPECT_EQ(client().nextWithCode(0x10), (Bytes{0x10, 0xFD}));
}

TEST_F(Armband, AnArmbandThatNeverAnswersDoesNotFreezeTheServer) {
    scanAndConnect();
    ASSERT_EQ(server.sim("mute setDataNotifySwitch 3"), "ok");
    client().send({0x10});
    client().send({0x01});
    // The ping is answered at once; the stream's three bounded tries end in 10 F0.
    const auto first = client().nextWithCode(0x01, 20s);
    EXPECT_EQ(first, (Bytes{0x01, 0x00}));
    EXPECT_EQ(client().nextWithCode(0x10, 20s), (Bytes{0x10, 0xF0}));
    EXPECT_EQ(server.countInLog("TesselHandle::setDataNotifySwitch, no answer within"), 3);
    client().send({0x11});
    EXPECT_EQ(client().nextWithCode(0x10), (Bytes{0x10, 0xFC})) << "the server is idle again";
}

TEST_F(Armband, HubStateThreeEndsTheServer) {
    ASSERT_EQ(server.sim("hubstate 3"), "ok");
    EXPECT_EQ(server.waitForExit(), 0);
    EXPECT_TRUE(server.waitForLog("TesselHandle::onStateChanged, new state is 3"));
    EXPECT_TRUE(server.waitForLog("exitApplication"));
}

TEST_F(Armband, AConnectionTheArmbandRefusesIsAnsweredFailed) {
    client().send({0x02, 0x00});
    ASSERT_EQ(client().nextWithCode(0x02), (Bytes{0x02, 0x00}));
    ASSERT_EQ(server.sim("fail connect"), "ok");
    client().send({0x03});
    EXPECT_EQ(client().nextWithCode(0x03), (Bytes{0x03, 0xFF}));
}

}  // namespace
