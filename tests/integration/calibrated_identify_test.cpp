// Calibrated identification through the real server, on a wearer whose rest is
// too noisy for the exact mode's fixed thresholds.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/support/server_process.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

// Waits for a gesture report (08 G) naming `gesture`, skipping any other.
bool reported(WireClient& client, std::uint8_t gesture, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        const auto message = client.nextWithCode(0x08, 1s);
        if (message && message->size() == 2 && (*message)[1] == gesture) {
            return true;
        }
    }
    return false;
}

TEST(CalibratedIdentification, RecognisesANoisyWearersGesturesSwitchesAndRest) {
    ServerProcess server(kTestSpeed, {"--identify-mode", "calibrated"});
    ASSERT_TRUE(server.start()) << server.log();
    EXPECT_TRUE(server.waitForLog("identify mode:calibrated"));
    ASSERT_EQ(server.sim("profile tense"), "ok");
    WireClient client(server.port());
    ASSERT_TRUE(client.connected());
    ASSERT_NO_FATAL_FAILURE(scanAndConnect(client));
    ASSERT_NO_FATAL_FAILURE(configureEmg(client, 0xFF, 0x03));
    for (std::uint8_t gesture = 1; gesture <= 2; ++gesture) {
        ASSERT_EQ(server.sim("perform " + std::to_string(gesture)), "ok");
        client.send({0x06, gesture});
        ASSERT_EQ(client.nextWithCode(0x06, 45s), (Bytes{0x06, 0x00})) << +gesture;
    }
    ASSERT_EQ(server.sim("rest"), "ok");
    client.send({0x0A});
    ASSERT_EQ(client.nextWithCode(0x0A, 60s), (Bytes{0x0A, 0x00}));
    EXPECT_FALSE(readFile(server.file("calibration.txt")).empty());

    ASSERT_EQ(server.sim("profile tense 2"), "ok");  // another day
    client.send({0x08});
    ASSERT_TRUE(server.waitForLog("identifyWorker, calibration: rest", 10s)) << server.log();
    ASSERT_EQ(server.sim("hold 1"), "ok");
    EXPECT_TRUE(reported(client, 1, server.realTime(5000ms) + 5s));
    ASSERT_EQ(server.sim("hold 2"), "ok");
    EXPECT_TRUE(reported(client, 2, server.realTime(5000ms) + 5s)) << "the direct switch";
    ASSERT_EQ(server.sim("rest"), "ok");
    EXPECT_TRUE(reported(client, 0xFF, server.realTime(5000ms) + 5s));
    client.send({0x09});
    EXPECT_EQ(client.nextWithCode(0x08), (Bytes{0x08, 0xFD}));
}

}  // namespace
