// The server binary end to end: connecting, the first commands, stopping.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>

#include "tests/support/server_process.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

class Spine : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.log(); }
    void TearDown() override {
        if (server.running()) {
            WireClient closer(server.port());
            closer.send({0xFF});
            EXPECT_EQ(server.waitForExit(), 0) << server.log();
        }
    }
    ServerProcess server;
};

TEST_F(Spine, BothClientsReceiveTheAnswerToAPingOnlyOneSent) {
    WireClient first(server.port());
    WireClient second(server.port());
    ASSERT_TRUE(first.connected() && second.connected());
    ASSERT_TRUE(server.waitForLog("uWS connect, clients(2)"));
    first.send({0x01});
    EXPECT_EQ(first.next(), (Bytes{0x01, 0x00}));
    EXPECT_EQ(second.next(), (Bytes{0x01, 0x00}));
}

TEST_F(Spine, PingAnswersDependOnTheLengthNotTheFrameType) {
    WireClient client(server.port());
    client.sendText("\x01");
    EXPECT_EQ(client.next(), (Bytes{0x01, 0x00}));
    client.send({0x01, 0x00});
    EXPECT_EQ(client.next(), (Bytes{0x01, 0xFF}));
    Bytes longPing(257, 0);
    longPing[0] = 0x01;
    client.send(longPing);
    EXPECT_EQ(client.next(), (Bytes{0x01, 0xFF}));
    EXPECT_TRUE(server.waitForLog("uWS received msg, length(1) opCode(1)"));
    EXPECT_TRUE(server.waitForLog("uWS received msg, length(257) opCode(2)"));
    // The log dump stops after ten bytes.
    EXPECT_TRUE(
        server.waitForLog("APP_CLIENT_EVT: 0x01 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00 \n"));
}

TEST_F(Spine, UnknownCodesAndEmptyMessagesAreIgnored) {
    WireClient client(server.port());
    client.send({0x0E});
    client.send({0x00});
    client.send({});
    EXPECT_TRUE(client.silentFor(500ms));
    client.send({0x01});
    EXPECT_EQ(client.next(), (Bytes{0x01, 0x00}));
}

TEST_F(Spine, VersionWithoutAnArmbandConnected) {
    WireClient client(server.port());
    client.send({0x30});
    EXPECT_EQ(client.next(), bytesOf("0000.005.002/---.---.---/---.---.---"));
}

TEST_F(Spine, ExitServerEndsTheProcessWithCodeZero) {
    WireClient client(server.port());
    client.send({0xFF});
    EXPECT_EQ(server.waitForExit(), 0);
    EXPECT_TRUE(server.waitForLog("exitApplication"));
    EXPECT_TRUE(server.waitForLog("EXIT_EVT: \n"));
}

TEST_F(Spine, CtrlCStopsTheServerCleanly) {
    server.signal(SIGINT);
    EXPECT_EQ(server.waitForExit(), 0);
    EXPECT_TRUE(server.waitForLog("exitApplication"));
    EXPECT_TRUE(waitForPortClosed(server.port(), 5s));
}

TEST_F(Spine, ASecondServerOnTheBusyPortSaysItCannotListenAndEnds) {
    ServerProcess second(kTestSpeed, {"--port", std::to_string(server.port())});
    EXPECT_FALSE(second.start());
    EXPECT_EQ(second.waitForExit(), 1);
    EXPECT_TRUE(second.waitForLog("uWS failed to listen"));
    EXPECT_EQ(second.countInLog("uWS server started"), 0);
    WireClient client(server.port());
    client.send({0x01});
    EXPECT_EQ(client.next(), (Bytes{0x01, 0x00}));
}

TEST_F(Spine, AMessageOverSixteenMebibytesIsRefusedWithoutHarmingOthers) {
    WireClient bystander(server.port());
    WireClient sender(server.port());
    ASSERT_TRUE(bystander.connected() && sender.connected());
    Bytes largest(16777216, 0x00);
    largest[0] = 0x01;
    sender.send(largest);
    EXPECT_EQ(sender.next(30s), (Bytes{0x01, 0xFF}));
    EXPECT_EQ(bystander.next(), (Bytes{0x01, 0xFF}));

    Bytes tooLarge(16777217, 0x00);
    tooLarge[0] = 0x01;
    sender.send(tooLarge);
    EXPECT_FALSE(sender.next(30s));
    EXPECT_FALSE(sender.open());
    EXPECT_EQ(server.countInLog("length(16777217)"), 0);
    bystander.send({0x01});
    EXPECT_EQ(bystander.next(), (Bytes{0x01, 0x00}));
}

TEST_F(Spine, APageFromAnotherSiteCannotConnect) {
    WireClient foreign(server.port(), "https://evil.example");
    EXPECT_FALSE(foreign.connected());
    EXPECT_EQ(foreign.httpStatus(), 403);
    EXPECT_TRUE(server.waitForLog("(origin https://evil.example): 403"));
    WireClient local(server.port(), "http://127.0.0.1:" + std::to_string(server.port()));
    EXPECT_TRUE(local.connected());
}

}  // namespace
