// The recordings under tests/golden and the exact files the server must make
// from them, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/model_generation.h"
#include "signal/feature_extraction.h"
#include "store/model_image.h"
#include "tests/support/feature_text.h"
#include "tests/support/temp_dir.h"

namespace {

struct GoldenCase {
    std::filesystem::path directory;
    std::uint8_t channelMask, channelCount, gestureMask;
    std::vector<std::string> gestures;  // numbers in mask order
};

GoldenCase loadCase(const char* name) {
    const std::string json = readFile(goldenPath(name) / "case.json");
    auto number = [&](const char* key) {  // "key": digits
        const std::size_t at = json.find(std::string("\"") + key + "\"");
        EXPECT_NE(at, std::string::npos) << key;
        const std::size_t digits = json.find_first_of("0123456789", json.find(':', at));
        return static_cast<std::uint8_t>(std::stoi(json.substr(digits)));
    };
    GoldenCase golden{goldenPath(name),
                      number("channel_mask"),
                      number("channel_count"),
                      number("gesture_mask"),
                      {}};
    for (int n = 1; n <= 8; ++n) {
        if ((golden.gestureMask >> (n - 1)) & 1) {
            golden.gestures.push_back(std::to_string(n));
        }
    }
    return golden;
}

class Golden : public testing::TestWithParam<const char*> {};

TEST_P(Golden, FeatureExtractionOfEachRecordingGivesTheExpectedFeatureFile) {
    const GoldenCase golden = loadCase(GetParam());
    ScopedWorkingDirectory scratch;
    for (const std::string& n : golden.gestures) {
        const std::vector<std::uint8_t> raw = readBytes(golden.directory / ("raw" + n + ".bin"));
        ASSERT_EQ(featureExtraction(n.c_str(), raw.data(), raw.size(), golden.channelCount), 0);
        EXPECT_EQ(readFile("feature" + n + ".txt"),
                  readFile(golden.directory / "expected" / ("feature" + n + ".txt")))
            << "gesture " << n;
    }
}

TEST_P(Golden, GenerationAndTheModelImageGiveTheExpectedFiles) {
    const GoldenCase golden = loadCase(GetParam());
    ScopedWorkingDirectory scratch;
    for (const std::string& n : golden.gestures) {
        std::filesystem::copy_file(golden.directory / ("raw" + n + ".bin"), "raw" + n + ".bin");
    }
    std::vector<std::uint8_t> response;
    logOf([&] { generateModelFromRecordings(golden.gestureMask, golden.channelMask, response); });
    EXPECT_EQ(response, std::vector<std::uint8_t>{0x00});
    EXPECT_EQ(readFile("W&B.txt"), readFile(golden.directory / "expected" / "W&B.txt"));

    std::vector<std::uint8_t> image;
    const auto gestureCount = static_cast<std::uint8_t>(golden.gestures.size());
    EXPECT_EQ(prepareModelImage(golden.channelMask, gestureCount, golden.channelCount, image),
              0x00);
    EXPECT_EQ(image, readBytes(golden.directory / "expected" / "model.bin"));
    EXPECT_EQ(readBytes("model.bin"), image);
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::Values("case1", "case2", "case3", "case4"));

}  // namespace
