// Replaying a recorded raw file instead of the synthetic wearer.
#include <cstdio>

#include "sim_test_support.h"
#include "tests/support/temp_dir.h"

namespace tessel::sim::testing {
namespace {

class Replay : public SimulatedArmband {
  protected:
    // A file whose bytes are all different from their neighbours.
    std::vector<std::uint8_t> writeRecording(const char* name, std::size_t length) {
        std::vector<std::uint8_t> bytes(length);
        for (std::size_t i = 0; i < length; ++i) {
            bytes[i] = static_cast<std::uint8_t>((i * 37 + 11) % 251);
        }
        std::FILE* file = std::fopen(name, "wb");
        EXPECT_NE(file, nullptr);
        if (file != nullptr) {
            if (!bytes.empty()) {
                std::fwrite(bytes.data(), 1, bytes.size(), file);
            }
            std::fclose(file);
        }
        return bytes;
    }

    std::vector<std::uint8_t> received() {
        std::vector<std::uint8_t> bytes;
        for (const RawPacket& packet : listener->packets()) {
            bytes.insert(bytes.end(), packet->begin(), packet->end());
        }
        return bytes;
    }

    ScopedWorkingDirectory workingDirectory;
};

TEST_F(Replay, PlaysTheFileInPacketsOfTheConfiguredSizeAndLoopsAtItsEnd) {
    start(fastOptions(1, 20.0));
    const auto recording = writeRecording("raw3.bin", 1000);
    ASSERT_EQ(simulation.controller->command("replay raw3.bin"), "ok");
    ASSERT_TRUE(connectArmband());
    configureRaw(0x0F);
    switchStreams(kNotifyEmgRaw);
    ASSERT_TRUE(listener->waitForCount("DeviceData", 40));  // 2560 bytes: the file and more
    for (const RawPacket& packet : listener->packets()) {
        EXPECT_EQ(packet->size(), 64u);
    }
    const auto bytes = received();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        ASSERT_EQ(bytes[i], recording[i % recording.size()]) << "byte " << i;
    }
    EXPECT_EQ(simulation.controller->status().replay, "raw3.bin");
}

TEST_F(Replay, StartsFromTheFirstByteEachTimeTheRawStreamIsSwitchedOn) {
    start(fastOptions(1, 20.0));
    const auto recording = writeRecording("stream.bin", 4096);
    ASSERT_TRUE(simulation.controller->replay("stream.bin"));
    ASSERT_TRUE(connectArmband());
    switchStreams(kNotifyEmgRaw);
    ASSERT_TRUE(listener->waitForCount("DeviceData", 3));
    switchStreams(kNotifyNone);
    const std::size_t before = listener->packets().size();
    switchStreams(kNotifyEmgRaw);
    ASSERT_TRUE(listener->waitForCount("DeviceData", before + 1));
    const RawPacket first = listener->packets()[before];
    EXPECT_TRUE(std::equal(first->begin(), first->end(), recording.begin()));
}

TEST_F(Replay, WithoutAPathReturnsToTheSyntheticWearer) {
    start(fastOptions(1, 20.0));
    writeRecording("raw1.bin", 128);
    ASSERT_TRUE(simulation.controller->replay("raw1.bin"));
    ASSERT_EQ(simulation.controller->command("replay"), "ok");
    EXPECT_EQ(simulation.controller->status().replay, "");
    ASSERT_TRUE(connectArmband());
    switchStreams(kNotifyEmgRaw);
    ASSERT_TRUE(listener->waitForCount("DeviceData", 3));
    for (const std::uint8_t sample : received()) {
        ASSERT_GT(sample, 110) << "a resting wearer, not the file";
        ASSERT_LT(sample, 136);
    }
}

TEST_F(Replay, RefusesAFileThatIsMissingOrEmpty) {
    start();
    writeRecording("empty.bin", 0);
    const std::string missing = simulation.controller->command("replay no-such-file.bin");
    const std::string empty = simulation.controller->command("replay empty.bin");
    EXPECT_EQ(missing.rfind("error: ", 0), 0u) << missing;
    EXPECT_EQ(empty.rfind("error: ", 0), 0u) << empty;
    EXPECT_EQ(simulation.controller->status().replay, "");
}

}  // namespace
}  // namespace tessel::sim::testing
