// The recordings under tests/golden and the exact files the server must make
// from them, byte for byte.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/training/scratch_directory.h"
#include "training/feature_extraction.h"
#include "training/model_generation.h"
#include "training/model_image.h"
#include "training/model_shape.h"

namespace {

struct GoldenCase {
    std::string name;
    std::uint8_t channelMask = 0;
    std::uint8_t channelCount = 0;
    std::uint8_t gestureMask = 0;
    std::vector<int> gestures;
};

int jsonNumber(const std::string& json, const std::string& key) {
    std::smatch match;
    const std::regex pattern("\"" + key + "\"\\s*:\\s*(\\d+)");
    return std::regex_search(json, match, pattern) ? std::stoi(match[1]) : -1;
}

GoldenCase loadCase(const std::string& name) {
    const std::string json = readText(goldenCase(name) / "case.json");
    GoldenCase golden;
    golden.name = name;
    golden.channelMask = static_cast<std::uint8_t>(jsonNumber(json, "channel_mask"));
    golden.channelCount = static_cast<std::uint8_t>(jsonNumber(json, "channel_count"));
    golden.gestureMask = static_cast<std::uint8_t>(jsonNumber(json, "gesture_mask"));
    for (int n = 1; n <= 8; ++n) {
        if ((golden.gestureMask >> (n - 1)) & 1) {
            golden.gestures.push_back(n);
        }
    }
    return golden;
}

class Golden : public testing::TestWithParam<const char*> {};

TEST_P(Golden, FeatureExtractionOfEachRecordingGivesTheExpectedFeatureFile) {
    const GoldenCase golden = loadCase(GetParam());
    ASSERT_FALSE(golden.gestures.empty());
    ScratchDirectory scratch;
    for (int n : golden.gestures) {
        const std::string number = std::to_string(n);
        const std::vector<std::uint8_t> raw =
            readBytes(goldenCase(golden.name) / ("raw" + number + ".bin"));
        ASSERT_FALSE(raw.empty());
        ASSERT_EQ(featureExtraction(number.c_str(), raw.data(), raw.size(), golden.channelCount),
                  0);
        const std::string name = "feature" + number + ".txt";
        EXPECT_EQ(readText(name), readText(goldenCase(golden.name) / "expected" / name))
            << golden.name << " " << name;
    }
}

TEST_P(Golden, GenerationAndTheModelImageGiveTheExpectedFiles) {
    const GoldenCase golden = loadCase(GetParam());
    ScratchDirectory scratch;
    for (int n : golden.gestures) {
        const std::string name = "raw" + std::to_string(n) + ".bin";
        std::filesystem::copy_file(goldenCase(golden.name) / name, name);
    }
    std::vector<std::uint8_t> response;
    generateModelFromRecordings(golden.gestureMask, golden.channelCount, response);
    EXPECT_EQ(response, std::vector<std::uint8_t>{0x00});
    EXPECT_EQ(readText(kModelFileName), readText(goldenCase(golden.name) / "expected" / "W&B.txt"));

    std::vector<std::uint8_t> image;
    EXPECT_EQ(
        prepareModelImage(golden.channelMask, static_cast<std::uint8_t>(golden.gestures.size()),
                          golden.channelCount, image),
        0x00);
    const std::vector<std::uint8_t> expected =
        readBytes(goldenCase(golden.name) / "expected" / "model.bin");
    EXPECT_EQ(image, expected);
    EXPECT_EQ(readBytes(kModelImageFileName), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::Values("case1", "case2", "case3", "case4"));

}  // namespace
