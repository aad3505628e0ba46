// A full 30-second recording with the simulated wearer performing a gesture.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

TEST(RecordingWithTheServer, AThirtySecondWindowOfAPerformedGestureLandsInItsRawFile) {
    ServerProcess server;
    ASSERT_TRUE(server.start()) << server.log();
    WireClient client(server.port());
    WireClient watcher(server.port());
    ASSERT_TRUE(client.connected() && watcher.connected());
    ASSERT_NO_FATAL_FAILURE(scanAndConnect(client));
    ASSERT_NO_FATAL_FAILURE(configureEmg(client, 0xFF, 0x07));
    ASSERT_EQ(server.sim("perform 1"), "ok");

    client.send({0x06, 0x01});
    // Preview frames reach every client while the window is open.
    const auto preview = watcher.nextWithCode(0x07);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->size(), 33u);
    EXPECT_EQ(client.nextWithCode(0x06, 45s), (Bytes{0x06, 0x00}));

    const std::string raw = readFile(server.file("raw1.bin"));
    EXPECT_EQ(raw.size(), 19500u * 8) << "30 s of 8 channels";

    // The wearer rested and held in turn: some half-second stretches are
    // quiet and some are busy.
    int quiet = 0;
    int busy = 0;
    const std::size_t stretch = 325 * 8;
    for (std::size_t start = 0; start + stretch <= raw.size(); start += stretch) {
        double sum = 0;
        double squares = 0;
        for (std::size_t i = start; i < start + stretch; i += 8) {
            const double value = static_cast<unsigned char>(raw[i]);
            sum += value;
            squares += value * value;
        }
        const double mean = sum / 325.0;
        const double deviation = std::sqrt(squares / 325.0 - mean * mean);
        quiet += deviation < 3.0;
        busy += deviation > 8.0;
    }
    EXPECT_GE(quiet, 5);
    EXPECT_GE(busy, 5);

    client.send({0xFF});
    EXPECT_EQ(server.waitForExit(), 0);
}

}  // namespace
