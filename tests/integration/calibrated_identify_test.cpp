// Calibrated identification through the real server on real recorded EMG of
// one person (tests/emg-dev, with its attribution): their first-series
// recordings, replayed by the simulated armband, train the model; their
// second series, replayed, is identified.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/support/server_process.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

const std::string kPerson = std::string(QUILLON_EMG_DEV_DIR) + "/p07/";

TEST(CalibratedIdentification, RecognisesARealPersonsGesturesAndRestFromTheirOwnRecordings) {
    ServerProcess server(kTestSpeed, {"--identify-mode", "calibrated"});
    ASSERT_TRUE(server.start()) << server.log();
    WireClient client(server.port());
    ASSERT_TRUE(client.connected());
    ASSERT_NO_FATAL_FAILURE(scanAndConnect(client));
    ASSERT_NO_FATAL_FAILURE(configureEmg(client, 0xFF, 0x07));
    const char* files[] = {"s1_g1_fist.u8", "s1_g2_wrist_flexion.u8", "s1_g3_wrist_extension.u8"};
    for (std::uint8_t gesture = 1; gesture <= 3; ++gesture) {
        ASSERT_EQ(server.sim("replay " + kPerson + files[gesture - 1]), "ok");
        client.send({0x06, gesture});
        ASSERT_EQ(client.nextWithCode(0x06, 45s), (Bytes{0x06, 0x00})) << +gesture;
    }
    client.send({0x0A});
    ASSERT_EQ(client.nextWithCode(0x0A, 60s), (Bytes{0x0A, 0x00}));
    EXPECT_NE(readFile(server.file("recogniser.txt")).find("recogniser 1\n"), std::string::npos);

    // Rest, fist, rest, wrist flexion, rest, wrist extension, rest: 21.5 s.
    ASSERT_EQ(server.sim("replay " + kPerson + "s2_stream_first_three.u8"), "ok");
    client.send({0x08});
    Bytes reported;
    const auto end = std::chrono::steady_clock::now() + server.realTime(21500ms) + 5s;
    while (reported.size() < 7 && std::chrono::steady_clock::now() < end) {
        const auto message = client.nextWithCode(0x08, 1s);
        if (message && message->size() == 2 &&
            (reported.empty() || reported.back() != (*message)[1])) {
            reported.push_back((*message)[1]);
        }
    }
    client.send({0x09});
    EXPECT_EQ(reported, (Bytes{0xFF, 1, 0xFF, 2, 0xFF, 3, 0xFF})) << server.log();
}

}  // namespace
