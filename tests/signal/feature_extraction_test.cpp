#include "signal/feature_extraction.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/feature_text.h"
#include "tests/support/temp_dir.h"

namespace {

// The windows that become samples for window energies following pattern:
// 'H' 4, 'M' 1, 'L' 0 (activity alternating +2/-2, +1/-1 or 0). Every centred
// sample of window w is w, so a sample's value names its window.
std::vector<float> sampledWindows(const std::string& pattern, std::size_t frames = 0) {
    FeatureMatrix matrix;
    matrix.channelCount = 1;
    std::vector<float> activity;
    for (std::size_t w = 0; w < pattern.size(); ++w) {
        const float swing = pattern[w] == 'H' ? 2.0f : pattern[w] == 'M' ? 1.0f : 0.0f;
        for (std::size_t t = 0; t < ANALYSIS_WINDOW; ++t) {
            activity.push_back(t % 2 == 0 ? swing : -swing);
            matrix.centred.push_back(static_cast<float>(w));
        }
    }
    matrix.frames = frames == 0 ? activity.size() : frames;
    activity.resize(matrix.frames);
    FeatureList list{{-1.0f}};  // must be emptied first
    extractWindowFeatures(activity, matrix, list);
    return list.values;
}

struct Scan {
    const char* pattern;
    std::vector<float> windows;
};

class ActivityScan : public testing::TestWithParam<Scan> {};

TEST_P(ActivityScan, ActiveWindowsAfterTheStartingOneBecomeSamples) {
    EXPECT_EQ(sampledWindows(GetParam().pattern), GetParam().windows) << GetParam().pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, ActivityScan,
    testing::Values(Scan{"LHHHLLL", {2, 3}},             // window 3 ends the activity and is kept
                    Scan{"HHLL", {1}},                   // the scan reaches k = W - 3
                    Scan{"LHHLLLHHHL", {2, 7}},          // a second activity
                    Scan{"LHHHHH", {2, 3}},              // stops at k = 3 while still active
                    Scan{"HHL", {}},                     // starts at k = 0, nothing more examined
                    Scan{"LHMMLL", {}},                  // threshold 1: equal energy does not start
                    Scan{"LHHMLMLLLL", {2, 3, 4, 5}}));  // ... nor end

TEST(FeatureExtraction, FewerThan390FramesGiveNoSampleButTheFileIsCreated) {
    EXPECT_TRUE(sampledWindows("HHLL", 389).empty());
    EXPECT_EQ(sampledWindows("HHLL", 520), std::vector<float>{1});
    ScopedWorkingDirectory scratch;
    const std::vector<std::uint8_t> bytes(389, 100);
    EXPECT_EQ(featureExtraction("4", bytes.data(), bytes.size(), 1), 0);
    EXPECT_TRUE(fileExists("feature4.txt"));
    EXPECT_EQ(readFile("feature4.txt"), "");
}

// 'L' windows hold 120 on every channel; 'H' windows alternate 120 -+ swing[c],
// so every channel's mean is 120 and an active window's features are the swings.
std::vector<std::uint8_t> recording(const std::string& pattern, const std::vector<int>& swing) {
    std::vector<std::uint8_t> bytes;
    for (char window : pattern) {
        for (std::size_t t = 0; t < ANALYSIS_WINDOW; ++t) {
            for (int s : swing) {
                bytes.push_back(
                    static_cast<std::uint8_t>(120 + (window == 'H' ? (t % 2 ? s : -s) : 0)));
            }
        }
    }
    return bytes;
}

TEST(FeatureExtraction, SamplesAreChannelMeansOfAbsoluteValuesAppendedToTheFile) {
    ScopedWorkingDirectory scratch;
    std::vector<std::uint8_t> bytes = recording("LHHHLLL", {20, 10});
    bytes.push_back(255);  // a trailing incomplete frame is ignored
    ASSERT_EQ(featureExtraction("3", bytes.data(), bytes.size(), 2), 0);
    ASSERT_EQ(featureExtraction("3", bytes.data(), bytes.size(), 2), 0);
    const std::string once = "20.000000 10.000000 20.000000 10.000000 ";
    EXPECT_EQ(readFile("feature3.txt"), once + once);
}

TEST(FeatureExtraction, EveryActiveWindowIsKeptBeyond4000Values) {
    ScopedWorkingDirectory scratch;
    const std::vector<std::uint8_t> bytes =
        recording("L" + std::string(600, 'H') + "LLL", std::vector<int>(8, 20));
    ASSERT_EQ(featureExtraction("8", bytes.data(), bytes.size(), 8), 0);
    EXPECT_EQ(readFile("feature8.txt"), featureText(std::vector<float>(599 * 8, 20.0f)));
}

TEST(FeatureExtraction, ZeroChannelsGiveNoOutput) {
    ScopedWorkingDirectory scratch;
    const std::vector<std::uint8_t> bytes = recording("LHHHLLL", {20});
    EXPECT_EQ(featureExtraction("5", bytes.data(), bytes.size(), 0), 0);
    EXPECT_EQ(readFile("feature5.txt"), "");
}

TEST(FeatureExtraction, AFileThatCannotBeOpenedOrWrittenGivesOne) {
    ScopedWorkingDirectory scratch;
    const std::vector<std::uint8_t> bytes = recording("LHHHLLL", {20});
    std::filesystem::create_directory("feature6.txt");
    EXPECT_EQ(featureExtraction("6", bytes.data(), bytes.size(), 1), 1);
    std::filesystem::create_symlink("/dev/full", "feature7.txt");
    EXPECT_EQ(featureExtraction("7", bytes.data(), bytes.size(), 1), 1);
}

TEST(FeatureExtraction, ValuesAreWrittenWithSixDecimalsAndASpace) {
    ScopedWorkingDirectory scratch;
    ASSERT_TRUE(appendFeatureFile("feature1.txt", FeatureList{{1.5f, -0.25f, 0.0000004f}}));
    EXPECT_EQ(readFile("feature1.txt"), "1.500000 -0.250000 0.000000 ");
}

}  // namespace
