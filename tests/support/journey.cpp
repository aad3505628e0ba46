#include "tests/support/journey.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Report {
    Clock::time_point at;
    std::uint8_t gesture;
};

// Collects the gesture reports (08 G) that arrive within `duration`.
std::vector<Report> collectReports(WireClient& client, std::chrono::milliseconds duration) {
    std::vector<Report> reports;
    const auto end = Clock::now() + duration;
    while (Clock::now() < end) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        const auto message = client.next(std::max(left, 1ms));
        if (message && message->size() == 2 && (*message)[0] == 0x08) {
            reports.push_back({Clock::now(), (*message)[1]});
        }
    }
    return reports;
}

// The share of [from, to) during which the last report named `gesture`.
double agreement(const std::vector<Report>& reports, std::uint8_t before, Clock::time_point from,
                 Clock::time_point to, std::uint8_t gesture) {
    int agreeing = 0;
    int samples = 0;
    const auto step = (to - from) / 500;
    for (auto t = from; t < to; t += step) {
        std::uint8_t current = before;
        for (const Report& report : reports) {
            if (report.at <= t) {
                current = report.gesture;
            }
        }
        agreeing += current == gesture;
        ++samples;
    }
    return samples == 0 ? 0.0 : static_cast<double>(agreeing) / samples;
}

void scanConnectAndConfigure(WireClient& client) {
    ASSERT_NO_FATAL_FAILURE(scanAndConnect(client));
    ASSERT_NO_FATAL_FAILURE(configureEmg(client, 0xFF, 0x07));
}

void recordThreeGestures(ServerProcess& server, WireClient& client) {
    for (std::uint8_t gesture = 1; gesture <= 3; ++gesture) {
        ASSERT_EQ(server.sim("perform " + std::to_string(gesture)), "ok");
        client.send({0x06, gesture});
        ASSERT_EQ(client.nextWithCode(0x06, 45s), (Bytes{0x06, 0x00})) << "gesture " << +gesture;
    }
    ASSERT_EQ(server.sim("rest"), "ok");
}

void trainAndUpload(ServerProcess& server, WireClient& client) {
    const auto trainingStart = Clock::now();
    client.send({0x0A});
    ASSERT_EQ(client.nextWithCode(0x0A, 60s), (Bytes{0x0A, 0x00}));
    std::printf("generation of a 3-gesture model took %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           Clock::now() - trainingStart)
                                           .count()));
    client.send({0x0C});
    std::optional<Bytes> progress;
    do {
        progress = client.nextWithCode(0x0D);
        ASSERT_TRUE(progress);
    } while ((*progress)[1] != 100);
    EXPECT_EQ(client.nextWithCode(0x0C), (Bytes{0x0C, 0x00}));
    // 3 lines of 9 values: 108 bytes of weights, padded to 112.
    EXPECT_EQ(readFile(server.file("model.bin")).size(), 48u + 112u);
}

void recogniseHeldGestures(ServerProcess& server, WireClient& client) {
    client.send({0x08});
    std::uint8_t last = 0xFF;
    collectReports(client, server.realTime(2s));
    for (std::uint8_t gesture = 1; gesture <= 3; ++gesture) {
        ASSERT_EQ(server.sim("hold " + std::to_string(gesture)), "ok");
        const auto holdStart = Clock::now();
        const auto hold = server.realTime(5s);
        const auto reports = collectReports(client, hold);
        const double share = agreement(reports, last, holdStart, holdStart + hold, gesture);
        std::printf("hold of gesture %d: reports agreed for %.0f%% of 5 s of EMG (%zu reports)\n",
                    gesture, 100.0 * share, reports.size());
        EXPECT_GE(share, 0.6) << "gesture " << +gesture;
        if (!reports.empty()) {
            last = reports.back().gesture;
        }
        ASSERT_EQ(server.sim("rest"), "ok");
        const auto rest = collectReports(client, server.realTime(3s));
        if (!rest.empty()) {
            last = rest.back().gesture;
        }
        EXPECT_EQ(last, 0xFF) << "no gesture is reported at rest after gesture " << +gesture;
    }
    client.send({0x09});
    EXPECT_EQ(client.nextWithCode(0x08), (Bytes{0x08, 0xFD}));
}

}  // namespace

void recordTrainUploadAndRecognise(ServerProcess& server) {
    WireClient client(server.port());
    ASSERT_TRUE(client.connected());
    ASSERT_NO_FATAL_FAILURE(scanConnectAndConfigure(client));
    ASSERT_NO_FATAL_FAILURE(recordThreeGestures(server, client));
    ASSERT_NO_FATAL_FAILURE(trainAndUpload(server, client));
    ASSERT_NO_FATAL_FAILURE(recogniseHeldGestures(server, client));
    client.send({0xFF});
    EXPECT_EQ(server.waitForExit(), 0);
}
