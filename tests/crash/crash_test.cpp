// The server killed with SIGKILL at random moments while it records, trains
// and uploads, again and again in one working directory. After each kill the
// next start must work, and:
// - every raw file holds exactly the windows its window log names, each a
//   whole number of raw packets: every window answered 06 00 is there, and
//   besides them at most the one window whose answer the kill cut off;
// - "W&B.txt" and "model.bin" are each the old file or a whole new one;
// - no temporary or feature file is left behind.
// The kill moments come from a seeded generator (QUILLON_CRASH_SEED to vary
// it, QUILLON_CRASH_KILLS for more kills).
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "server/device/recording_timer.h"
#include "store/model_file.h"
#include "store/window_log.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

constexpr int kGestures = 3;
constexpr std::uint64_t kWindowBytes = 8 * kRecordWindowFrames;  // 8 channels, 30 s of frames
constexpr std::size_t kImageBytes = 48 + 112;                    // 3 lines of 9 numbers, padded

int fromEnvironment(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

void connectAndConfigure(WireClient& client) {
    client.send({0x02, 0x00});
    ASSERT_EQ(client.nextWithCode(0x02), (Bytes{0x02, 0x00}));
    client.send({0x03});
    ASSERT_EQ(client.nextWithCode(0x03), (Bytes{0x03, 0x00}));
    client.send({0x05, 0xFF, 0x07});
    ASSERT_EQ(client.nextWithCode(0x05), (Bytes{0x05, 0x00}));
}

// The windows of raw<g>.bin after a restart; fails unless the file is exactly
// its logged windows, each 30 s of all 8 channels.
int windowsIn(const ServerProcess& server, int gesture) {
    const std::string raw = server.file("raw" + std::to_string(gesture) + ".bin");
    if (!fileExists(raw)) {
        return 0;
    }
    const std::uint64_t size = std::filesystem::file_size(raw);
    const auto windows =
        parseWindowLog(readFile(server.file("raw" + std::to_string(gesture) + ".windows")), size);
    EXPECT_TRUE(windows) << "raw" << gesture << ".bin (" << size
                         << " bytes) is not exactly the windows of its log";
    if (!windows) {
        return -1;
    }
    for (const RecordedWindow& window : *windows) {
        EXPECT_EQ(window.bytes, kWindowBytes)
            << "raw" << gesture << ".bin holds a window of " << window.bytes << " bytes";
    }
    return static_cast<int>(windows->size());
}

void expectNoLeftovers(const ServerProcess& server) {
    for (const auto& entry : std::filesystem::directory_iterator(server.dir())) {
        const std::string name = entry.path().filename().string();
        EXPECT_FALSE(name.ends_with(".tmp")) << name << " left behind";
        EXPECT_FALSE(name.starts_with("feature")) << name << " left behind";
    }
}

// "W&B.txt" is the one before the action, or a whole model of 3 gestures.
void expectWholeModel(const ServerProcess& server, const std::string& before) {
    if (!fileExists(server.file("W&B.txt"))) {
        EXPECT_TRUE(before.empty()) << "W&B.txt vanished";
        return;
    }
    const std::string text = readFile(server.file("W&B.txt"));
    if (text == before) {
        return;
    }
    ModelFile model;
    ASSERT_EQ(parseModelText(text, model), ModelFileRead::Read) << "torn W&B.txt: " << text;
    EXPECT_EQ(model.shape.rows, 3);
    EXPECT_EQ(model.shape.valuesPerRow, 9);
}

void expectWholeImage(const ServerProcess& server, const std::string& before) {
    if (!fileExists(server.file("model.bin"))) {
        EXPECT_TRUE(before.empty()) << "model.bin vanished";
        return;
    }
    const std::string image = readFile(server.file("model.bin"));
    if (image == before) {
        return;
    }
    ASSERT_EQ(image.size(), kImageBytes) << "torn model.bin";
    EXPECT_EQ(static_cast<std::uint8_t>(image[0]), 0xFF);
    EXPECT_EQ(image[1], 3);
    EXPECT_EQ(static_cast<std::uint8_t>(image[2]), 112);
}

enum class Action { record, generate, upload };

struct Moment {
    Action action;
    int gesture;
    std::chrono::milliseconds delay;  // from the command to the kill
};

Moment drawMoment(std::mt19937& random, const ServerProcess& server) {
    const int window = static_cast<int>(server.realTime(30s).count());
    const int pick = std::uniform_int_distribution<int>(0, 9)(random);
    const int gesture = std::uniform_int_distribution<int>(1, kGestures)(random);
    if (pick < 4) {
        // Half the kills aimed at the end of the window, where the bytes and
        // the log are written.
        const bool nearTheEnd = pick < 2;
        const int from = nearTheEnd ? window - 60 : 0;
        const int to = nearTheEnd ? window + 120 : window + 120;
        return {Action::record, gesture,
                std::chrono::milliseconds(std::uniform_int_distribution<int>(from, to)(random))};
    }
    if (pick < 7) {
        return {Action::generate, 0,
                std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 500)(random))};
    }
    return {Action::upload, 0,
            std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 150)(random))};
}

TEST(CrashSafety, AServerKilledAtRandomLosesNoAnsweredWindowAndTearsNoFile) {
    const int seed = fromEnvironment("QUILLON_CRASH_SEED", 20240611);
    const int kills = fromEnvironment("QUILLON_CRASH_KILLS", 50);
    std::mt19937 random(static_cast<std::uint32_t>(seed));
    ServerProcess server;
    int windows[kGestures + 1] = {};

    // Something to train on and a model to upload, before the first kill.
    ASSERT_TRUE(server.start());
    {
        WireClient client(server.port());
        ASSERT_TRUE(client.connected());
        ASSERT_NO_FATAL_FAILURE(connectAndConfigure(client));
        for (int gesture = 1; gesture <= kGestures; ++gesture) {
            ASSERT_EQ(server.sim("perform " + std::to_string(gesture)), "ok");
            client.send({0x06, static_cast<std::uint8_t>(gesture)});
            ASSERT_EQ(client.nextWithCode(0x06, 30s), (Bytes{0x06, 0x00}));
            windows[gesture] = 1;
        }
        client.send({0x0A});
        ASSERT_EQ(client.nextWithCode(0x0A, 60s), (Bytes{0x0A, 0x00}));
        client.send({0x04});
        ASSERT_EQ(client.nextWithCode(0x04), (Bytes{0x04, 0x00}));
    }

    int recordKills = 0;
    int generateKills = 0;
    int uploadKills = 0;
    int cutOff = 0;
    int cutBack = 0;
    for (int kill = 1; kill <= kills; ++kill) {
        const Moment moment = drawMoment(random, server);
        const std::string modelBefore =
            fileExists(server.file("W&B.txt")) ? readFile(server.file("W&B.txt")) : "";
        const std::string imageBefore =
            fileExists(server.file("model.bin")) ? readFile(server.file("model.bin")) : "";
        bool answered = false;
        {
            WireClient client(server.port());
            ASSERT_TRUE(client.connected());
            ASSERT_NO_FATAL_FAILURE(connectAndConfigure(client));
            switch (moment.action) {
                case Action::record:
                    ++recordKills;
                    ASSERT_EQ(server.sim("perform " + std::to_string(moment.gesture)), "ok");
                    client.send({0x06, static_cast<std::uint8_t>(moment.gesture)});
                    break;
                case Action::generate:
                    ++generateKills;
                    client.send({0x0A});
                    break;
                case Action::upload:
                    ++uploadKills;
                    client.send({0x0C});
                    break;
            }
            std::this_thread::sleep_for(moment.delay);
            server.signal(SIGKILL);
            ASSERT_EQ(server.waitForExit(), 128 + SIGKILL);
            while (auto message = client.next(200ms)) {
                answered = answered || *message == Bytes{0x06, 0x00};
            }
        }
        ASSERT_TRUE(server.start()) << "start after kill " << kill;
        cutBack += server.countInLog("after its last whole window removed");
        for (int gesture = 1; gesture <= kGestures; ++gesture) {
            const int now = windowsIn(server, gesture);
            const bool recorded = moment.action == Action::record && moment.gesture == gesture;
            if (!recorded) {
                EXPECT_EQ(now, windows[gesture])
                    << "raw" << gesture << ".bin changed, kill " << kill;
            } else if (answered) {
                EXPECT_EQ(now, windows[gesture] + 1) << "answered window lost, kill " << kill;
            } else {
                EXPECT_TRUE(now == windows[gesture] || now == windows[gesture] + 1)
                    << "raw" << gesture << ".bin holds " << now << " windows, kill " << kill;
                cutOff += now == windows[gesture] + 1;
            }
            windows[gesture] = now;
        }
        expectWholeModel(server, modelBefore);
        expectWholeImage(server, imageBefore);
        expectNoLeftovers(server);
        ASSERT_FALSE(testing::Test::HasFailure())
            << "after kill " << kill << " (seed " << seed << ")";
    }

    WireClient client(server.port());
    ASSERT_TRUE(client.connected());
    client.send({0x01});
    EXPECT_EQ(client.nextWithCode(0x01), (Bytes{0x01, 0x00}));
    std::printf(
        "%d kills (seed %d): %d while recording, %d while training, %d while uploading; "
        "windows kept %d/%d/%d, %d of them saved with their answer cut off; %d appends "
        "cut short and removed at the next start\n",
        kills, seed, recordKills, generateKills, uploadKills, windows[1], windows[2], windows[3],
        cutOff, cutBack);
}

}  // namespace
