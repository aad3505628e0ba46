// The simulated armband at real speed: one whole journey with real 30 s
// windows and real armband delays, and the proof that a sped-up armband gives
// the same recordings and the same identification as a real-speed one.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "server/device/recording_timer.h"
#include "tests/support/journey.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

constexpr double kRealSpeed = 1.0;
constexpr std::size_t kWindowFrames = kRecordWindowFrames;

void connectAndConfigure(ServerProcess& server, WireClient& client, std::uint8_t channels,
                         std::uint8_t gestures) {
    ASSERT_NO_FATAL_FAILURE(scanAndConnect(client)) << server.log();
    ASSERT_NO_FATAL_FAILURE(configureEmg(client, channels, gestures)) << server.log();
}

TEST(RealSpeed, TheWholeJourney) {
    ServerProcess server(kRealSpeed);
    ASSERT_TRUE(server.start()) << server.log();
    recordTrainUploadAndRecognise(server);
}

TEST(RealSpeed, ASpedUpWindowHoldsTheSameEmgAsARealOne) {
    ServerProcess real(kRealSpeed);
    ServerProcess fast;
    ASSERT_TRUE(real.start() && fast.start()) << real.log() << fast.log();
    WireClient realClient(real.port());
    WireClient fastClient(fast.port());
    ASSERT_NO_FATAL_FAILURE(connectAndConfigure(real, realClient, 0xFF, 0x01));
    ASSERT_NO_FATAL_FAILURE(connectAndConfigure(fast, fastClient, 0xFF, 0x01));
    for (ServerProcess* server : {&real, &fast}) {
        ASSERT_EQ(server->sim("perform 1"), "ok");
    }
    const auto started = std::chrono::steady_clock::now();
    realClient.send({0x06, 0x01});
    fastClient.send({0x06, 0x01});
    ASSERT_EQ(fastClient.nextWithCode(0x06, 10s), (Bytes{0x06, 0x00}));
    // The real window's end falls inside the 2 s in which the server waits
    // for version answers that never come (one query for the three requests).
    std::this_thread::sleep_until(started + 29s);
    ASSERT_EQ(real.sim("mute queryHardwareVersion 3"), "ok");
    for (int i = 0; i < 3; ++i) {
        realClient.send({0x30});
    }
    ASSERT_EQ(realClient.nextWithCode(0x06, 45s), (Bytes{0x06, 0x00}));
    EXPECT_TRUE(real.waitForLog("TesselHandle::getVersions, no answer within", 10s));
    EXPECT_EQ(real.countInLog("TesselHandle::getVersions, no answer within"), 1);

    const std::string realBytes = readFile(real.file("raw1.bin"));
    const std::string fastBytes = readFile(fast.file("raw1.bin"));
    // Both windows hold exactly 30 s of EMG, however late the main loop
    // gets to the end of the window.
    EXPECT_EQ(realBytes.size(), kWindowFrames * 8);
    EXPECT_EQ(fastBytes.size(), kWindowFrames * 8);
    // The same wearer gives the same signal at either speed.
    const std::size_t common = std::min(realBytes.size(), fastBytes.size());
    EXPECT_TRUE(realBytes.compare(0, common, fastBytes, 0, common) == 0)
        << "the windows differ within their first " << common << " bytes";
}

TEST(RealSpeed, IdentificationReportsTheSameAtEverySpeed) {
    const std::string golden = std::string(QUILLON_GOLDEN_DIR) + "/case1/";
    const std::string expected = readFile(golden + "expected/identify_reports.bin");
    ASSERT_FALSE(expected.empty());
    ServerProcess real(kRealSpeed);
    ServerProcess fast;
    std::vector<ServerProcess*> servers{&real, &fast};
    std::vector<std::unique_ptr<WireClient>> clients;
    for (ServerProcess* server : servers) {
        writeFile(server->file("W&B.txt"), readFile(golden + "expected/W&B.txt"));
        writeFile(server->file("W&B.gestures"), "0x13\n");  // what the generation remembers
        ASSERT_TRUE(server->start()) << server->log();
        clients.push_back(std::make_unique<WireClient>(server->port()));
        // Channels 0x07, gestures 0x13, as the golden case was made.
        ASSERT_NO_FATAL_FAILURE(connectAndConfigure(*server, *clients.back(), 0x07, 0x13));
        ASSERT_EQ(server->sim("replay " + golden + "stream.bin"), "ok");
        clients.back()->send({0x08});
    }
    // The stream lasts 20 s at real speed; its reports are the golden ones at
    // either speed (the replay then starts over, so only the first ones count).
    for (std::size_t i = 0; i < servers.size(); ++i) {
        std::string reports;
        while (reports.size() < expected.size()) {
            const auto message = clients[i]->nextWithCode(0x08, 30s);
            ASSERT_TRUE(message) << "after " << reports.size() / 2 << " reports";
            reports.append(message->begin(), message->end());
        }
        EXPECT_EQ(hex(bytesOf(reports)), hex(bytesOf(expected))) << "server " << i;
    }
}

}  // namespace
