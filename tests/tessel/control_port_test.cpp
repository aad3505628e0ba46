// The wearer control endpoint, spoken to over a real WebSocket.
#include "sim_test_support.h"
#include "tessel/sim/control_server.h"
#include "websocket_test_client.h"

namespace tessel::sim::testing {
namespace {

class ControlPort : public SimulatedArmband {
  protected:
    void SetUp() override {
        Options options = fastOptions();
        options.controlPort = kAnyFreeControlPort;  // never 8889: a server may be running
        start(options);
        port = simulation.controller->controlPort();
        ASSERT_GT(port, 0);
    }
    int port = 0;
};

TEST_F(ControlPort, AnswersEachTextCommandWithOneTextMessage) {
    WebSocketTestClient client;
    ASSERT_EQ(client.open(port), 101) << client.handshake();
    ASSERT_TRUE(client.send("hold 3"));
    EXPECT_EQ(client.receive(), "ok");
    EXPECT_EQ(simulation.controller->status().action, "hold 3");
    ASSERT_TRUE(client.send("status"));
    const auto status = client.receive();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->rfind("ok {", 0), 0u) << *status;
    EXPECT_NE(status->find("\"action\":\"hold 3\""), std::string::npos) << *status;
}

TEST_F(ControlPort, AnswersMistakesWithAnErrorAndKeepsTheConnection) {
    WebSocketTestClient client;
    ASSERT_EQ(client.open(port), 101);
    const char* mistakes[] = {"juggle", "perform 16", "fail nothing", ""};
    for (const char* mistake : mistakes) {
        ASSERT_TRUE(client.send(mistake));
        const auto answer = client.receive();
        ASSERT_TRUE(answer) << mistake;
        EXPECT_EQ(answer->rfind("error: ", 0), 0u) << mistake << " -> " << *answer;
    }
    ASSERT_TRUE(client.send("rest", true));
    const auto binaryAnswer = client.receive();
    ASSERT_TRUE(binaryAnswer);
    EXPECT_EQ(binaryAnswer->rfind("error: ", 0), 0u) << "binary messages are not commands";
    EXPECT_EQ(simulation.controller->status().action, "rest");
    ASSERT_TRUE(client.send("present"));
    EXPECT_EQ(client.receive(), "ok");
}

TEST_F(ControlPort, ServesSeveralClientsAtOnce) {
    WebSocketTestClient first;
    WebSocketTestClient second;
    ASSERT_EQ(first.open(port), 101);
    ASSERT_EQ(second.open(port), 101);
    ASSERT_TRUE(second.send("perform 2"));
    ASSERT_TRUE(first.send("absent"));
    EXPECT_EQ(first.receive(), "ok");
    EXPECT_EQ(second.receive(), "ok");
    const Status status = simulation.controller->status();
    EXPECT_EQ(status.action, "perform 2");
    EXPECT_FALSE(status.present);
}

TEST_F(ControlPort, AcceptsPagesServedFromThisMachine) {
    const char* origins[] = {"http://localhost:8888", "http://127.0.0.1:8888", "http://[::1]:8888",
                             "http://localhost", "https://LOCALHOST:443"};
    for (const char* origin : origins) {
        WebSocketTestClient client;
        EXPECT_EQ(client.open(port, std::string(origin)), 101) << origin;
    }
}

TEST_F(ControlPort, RefusesOtherOriginsWith403) {
    const char* origins[] = {"http://example.com", "null", "http://localhost.example.com",
                             "http://127.0.0.1.example.com:8888", "file://"};
    for (const char* origin : origins) {
        WebSocketTestClient client;
        EXPECT_EQ(client.open(port, std::string(origin)), 403) << origin;
    }
    EXPECT_EQ(simulation.controller->status().action, "rest");
}

TEST_F(ControlPort, ClosesWithTheHub) {
    ASSERT_EQ(simulation.hub->deinit(), 0);
    EXPECT_EQ(simulation.controller->controlPort(), 0);
    WebSocketTestClient client;
    EXPECT_EQ(client.open(port), 0) << "nothing listens after deinit";
}

TEST(ControlPortBusy, LeavesTheArmbandWorkingAndSaysSoOnStandardError) {
    Options options = fastOptions();
    options.controlPort = kAnyFreeControlPort;
    Simulation first = makeSimulation(options);
    ASSERT_EQ(first.hub->init(0), 0);
    options.controlPort = first.controller->controlPort();
    Simulation second = makeSimulation(options);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(second.hub->init(0), 0);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("tessel: ", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(second.controller->controlPort(), 0);
    EXPECT_EQ(second.hub->startScan(0xD0), 0) << "the armband itself still works";
    second.hub->deinit();
    first.hub->deinit();
}

TEST(LocalOrigin, IsOnlyAHostOfThisMachineWithAnOptionalPort) {
    EXPECT_TRUE(isLocalOrigin("http://localhost:8888"));
    EXPECT_TRUE(isLocalOrigin("http://[::1]"));
    EXPECT_TRUE(isLocalOrigin("https://127.0.0.1:65535"));
    EXPECT_FALSE(isLocalOrigin("http://localhost@example.com"));
    EXPECT_FALSE(isLocalOrigin("http://localhost:88a8"));
    EXPECT_FALSE(isLocalOrigin("http://localhost:"));
    EXPECT_FALSE(isLocalOrigin("http://localhost/"));
    EXPECT_FALSE(isLocalOrigin("http://[::1"));
    EXPECT_FALSE(isLocalOrigin("ws://localhost"));
    EXPECT_FALSE(isLocalOrigin("localhost"));
    EXPECT_FALSE(isLocalOrigin(""));
}

}  // namespace
}  // namespace tessel::sim::testing
