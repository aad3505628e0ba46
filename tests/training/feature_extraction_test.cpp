#include "training/feature_extraction.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/training/scratch_directory.h"

namespace {

// One channel whose centred samples in window w all equal w + 1, so every
// output value names its window, and an activity signal whose window energies
// follow the pattern: 'H' 4 (frames alternating +2, -2), 'M' 1 (+1, -1), 'L' 0.
std::vector<float> windowsOutput(const std::string& pattern) {
    FeatureMatrix matrix;
    matrix.channelCount = 1;
    matrix.frames = pattern.size() * ANALYSIS_WINDOW;
    std::vector<float> activity;
    for (std::size_t w = 0; w < pattern.size(); ++w) {
        const float swing = pattern[w] == 'H' ? 2.0f : pattern[w] == 'M' ? 1.0f : 0.0f;
        for (std::size_t t = 0; t < ANALYSIS_WINDOW; ++t) {
            activity.push_back(t % 2 == 0 ? swing : -swing);
            matrix.centred.push_back(static_cast<float>(w + 1));
        }
    }
    FeatureList list;
    list.values.assign(3, -1.0f);  // must be emptied first
    extractWindowFeatures(activity, matrix, list);
    for (float& value : list.values) {
        value -= 1.0f;  // back to the window index
    }
    return list.values;
}

using Windows = std::vector<float>;

TEST(ActivityScan, AnActivityStartsAfterTwoHighWindowsAndItsFirstWindowIsNoSample) {
    EXPECT_EQ(windowsOutput("LHHHLLL"), (Windows{2, 3}));
}

TEST(ActivityScan, TheWindowThatEndsAnActivityIsStillASample) {
    EXPECT_EQ(windowsOutput("HHLL"), (Windows{1}));
}

TEST(ActivityScan, ASecondActivityIsFoundAfterTheFirstEnds) {
    EXPECT_EQ(windowsOutput("LHHLLLHHHL"), (Windows{2, 7}));
}

TEST(ActivityScan, TheScanStopsTwoWindowsBeforeTheEndWhileStillActive) {
    EXPECT_EQ(windowsOutput("LHHHHH"), (Windows{2, 3}));
}

TEST(ActivityScan, ThreeWindowsExamineOnlyTheFirstAndGiveNoSample) {
    EXPECT_EQ(windowsOutput("HHL"), Windows{});
}

TEST(ActivityScan, AnEnergyEqualToTheThresholdDoesNotStartAnActivity) {
    // Energies 0 4 1 1 0 0: the threshold is 1.
    EXPECT_EQ(windowsOutput("LHMMLL"), Windows{});
}

TEST(ActivityScan, AnEnergyEqualToTheThresholdDoesNotEndAnActivity) {
    // Energies 0 4 4 1 0 1 0 0 0 0: the threshold is 1.
    EXPECT_EQ(windowsOutput("LHHMLMLLLL"), (Windows{2, 3, 4, 5}));
}

TEST(ActivityScan, FewerThanThreeWholeWindowsGiveNoSample) {
    FeatureMatrix matrix;
    matrix.channelCount = 1;
    matrix.frames = 389;
    matrix.centred.assign(389, 5.0f);
    std::vector<float> activity(389);
    for (std::size_t t = 0; t < activity.size(); ++t) {
        activity[t] = t < 260 && t % 2 == 0 ? 3.0f : 0.0f;
    }
    FeatureList list;
    extractWindowFeatures(activity, matrix, list);
    EXPECT_TRUE(list.values.empty());
}

// Frames of channelCount bytes: 'L' windows hold 120 on every channel, 'H'
// windows alternate 120 - swing[c] and 120 + swing[c], so every channel's mean
// is 120 and an active window's features are the swings.
std::vector<std::uint8_t> recording(const std::string& pattern, const std::vector<int>& swing) {
    std::vector<std::uint8_t> bytes;
    for (char window : pattern) {
        for (std::size_t t = 0; t < ANALYSIS_WINDOW; ++t) {
            for (int s : swing) {
                const int offset = window == 'H' ? (t % 2 == 0 ? -s : s) : 0;
                bytes.push_back(static_cast<std::uint8_t>(120 + offset));
            }
        }
    }
    return bytes;
}

int extract(const char* number, const std::vector<std::uint8_t>& bytes, std::uint8_t channels) {
    return featureExtraction(number, bytes.data(), bytes.size(), channels);
}

TEST(FeatureExtraction, ActiveWindowsBecomeMeanAbsoluteValuesOfEachChannel) {
    ScratchDirectory scratch;
    EXPECT_EQ(extract("3", recording("LHHHLLL", {20, 10}), 2), 0);
    EXPECT_EQ(readText("feature3.txt"), "20.000000 10.000000 20.000000 10.000000 ");
}

TEST(FeatureExtraction, ASecondCallAppendsRightAfterTheFirst) {
    ScratchDirectory scratch;
    const std::vector<std::uint8_t> bytes = recording("LHHHLLL", {7});
    ASSERT_EQ(extract("1", bytes, 1), 0);
    ASSERT_EQ(extract("1", bytes, 1), 0);
    EXPECT_EQ(readText("feature1.txt"), "7.000000 7.000000 7.000000 7.000000 ");
}

TEST(FeatureExtraction, BytesOfATrailingIncompleteFrameAreIgnored) {
    ScratchDirectory scratch;
    std::vector<std::uint8_t> bytes = recording("LHHHLLL", {20, 10});
    bytes.push_back(255);
    ASSERT_EQ(extract("2", bytes, 2), 0);
    EXPECT_EQ(readText("feature2.txt"), "20.000000 10.000000 20.000000 10.000000 ");
}

TEST(FeatureExtraction, ARecordingOf389FramesCreatesAnEmptyFile) {
    ScratchDirectory scratch;
    std::vector<std::uint8_t> bytes = recording("HHH", {30});
    bytes.resize(389);
    EXPECT_EQ(extract("4", bytes, 1), 0);
    ASSERT_TRUE(fileExists("feature4.txt"));
    EXPECT_EQ(readText("feature4.txt"), "");
}

TEST(FeatureExtraction, ZeroChannelsGiveNoOutput) {
    ScratchDirectory scratch;
    EXPECT_EQ(extract("5", recording("LHHHLLL", {20}), 0), 0);
    EXPECT_EQ(readText("feature5.txt"), "");
}

TEST(FeatureExtraction, EveryActiveWindowIsKeptBeyond4000Values) {
    ScratchDirectory scratch;
    const std::string pattern = "L" + std::string(600, 'H') + "LLL";
    ASSERT_EQ(extract("8", recording(pattern, std::vector<int>(8, 20)), 8), 0);
    const std::string text = readText("feature8.txt");
    std::string expected;
    for (int value = 0; value < 599 * 8; ++value) {
        expected += "20.000000 ";
    }
    EXPECT_EQ(text.size(), expected.size());
    EXPECT_EQ(text, expected);
}

TEST(FeatureExtraction, AFileThatCannotBeOpenedGivesOne) {
    ScratchDirectory scratch;
    std::filesystem::create_directory("feature6.txt");
    EXPECT_EQ(extract("6", recording("LHHHLLL", {20}), 1), 1);
}

TEST(FeatureExtraction, AFailedWriteGivesOne) {
    ScratchDirectory scratch;
    std::filesystem::create_symlink("/dev/full", "feature7.txt");
    EXPECT_EQ(extract("7", recording("LHHHLLL", {20}), 1), 1);
}

TEST(FeatureFile, ValuesAreWrittenWithSixDecimalsAndASpace) {
    ScratchDirectory scratch;
    ASSERT_TRUE(appendFeatureFile("feature1.txt", FeatureList{{1.5f, -0.25f, 0.0000004f}}));
    EXPECT_EQ(readText("feature1.txt"), "1.500000 -0.250000 0.000000 ");
}

TEST(ChannelMeans, EachChannelIsCentredOnItsOwnMean) {
    FeatureMatrix matrix;
    const std::uint8_t bytes[] = {10, 200, 20, 100, 30, 0, 7};
    loadFeatureMatrix(bytes, sizeof bytes, 2, matrix);
    removeChannelMeans(matrix);
    ASSERT_EQ(matrix.frames, 3u);
    EXPECT_EQ(matrix.centred, (std::vector<float>{-10, 100, 0, 0, 10, -100}));
    EXPECT_EQ(activitySignal(matrix), (std::vector<float>{45, 0, -45}));
}

}  // namespace
