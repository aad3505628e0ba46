#include "training/generate_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/training/scratch_directory.h"
#include "training/model_shape.h"

namespace {

std::string asFeatureText(const std::vector<float>& values) {
    std::string text;
    char number[64];
    for (float v : values) {
        std::snprintf(number, sizeof number, "%f ", static_cast<double>(v));
        text += number;
    }
    return text;
}

void writeFeatures(int position, const std::vector<float>& values) {
    writeText("feature" + std::to_string(position) + ".txt", asFeatureText(values));
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        result.push_back(text.substr(start, end - start + 1));
    }
    return result;
}

// Three separable two-channel gestures.
void writeThreeGestures() {
    writeFeatures(1, {30, 5, 32, 6, 29, 4, 31, 7});
    writeFeatures(2, {5, 30, 6, 28, 4, 33, 7, 31});
    writeFeatures(3, {20, 20, 22, 19, 18, 21, 21, 23});
}

const std::string kEarlierModel = "9.000000 9.000000 9.000000\n";

TEST(GenerateModel, ThreeGesturesOfTwoChannelsGiveThreeLinesOfThreeValues) {
    ScratchDirectory scratch;
    writeThreeGestures();
    ASSERT_EQ(generateModel(3, 2), 0);
    const std::vector<std::string> model = lines(readText("W&B.txt"));
    ASSERT_EQ(model.size(), 3u);
    for (const std::string& line : model) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 2) << line;
    }
    ModelShape shape;
    ASSERT_TRUE(checkModelFile(shape));
    EXPECT_EQ(shape.rows, 3);
    EXPECT_EQ(shape.valuesPerRow, 3);
}

TEST(GenerateModel, EachLineVotesForItsPairsFirstGestureOnThatGesturesSamples) {
    ScratchDirectory scratch;
    writeThreeGestures();
    ASSERT_EQ(generateModel(3, 2), 0);
    const std::vector<std::string> model = lines(readText("W&B.txt"));
    ASSERT_EQ(model.size(), 3u);
    const float samples[3][2] = {{30, 5}, {5, 30}, {20, 20}};
    const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    for (int p = 0; p < 3; ++p) {
        float w0, w1, bias;
        ASSERT_EQ(
            std::sscanf(model[static_cast<std::size_t>(p)].c_str(), "%f %f %f", &w0, &w1, &bias),
            3);
        const float* first = samples[pairs[p][0]];
        const float* second = samples[pairs[p][1]];
        EXPECT_GE(bias + w0 * first[0] + w1 * first[1], 0.0f) << "pair " << p;
        EXPECT_LT(bias + w0 * second[0] + w1 * second[1], 0.0f) << "pair " << p;
    }
}

TEST(GenerateModel, ALineIsTheWeightsThenTheBias) {
    ScratchDirectory scratch;
    writeFeatures(1, {3});
    writeFeatures(2, {1});
    ASSERT_EQ(generateModel(2, 1), 0);
    EXPECT_EQ(readText("W&B.txt"), "1.000000 -2.000000\n");
}

TEST(GenerateModel, TrainingReplacesTheWholeFile) {
    ScratchDirectory scratch;
    writeText("W&B.txt", kEarlierModel + kEarlierModel + kEarlierModel + kEarlierModel);
    writeFeatures(1, {3});
    writeFeatures(2, {1});
    ASSERT_EQ(generateModel(2, 1), 0);
    EXPECT_EQ(readText("W&B.txt"), "1.000000 -2.000000\n");
    EXPECT_FALSE(fileExists("W&B.txt.tmp"));
}

TEST(GenerateModel, PairsWithIdenticalSamplesTrainToIdenticalLines) {
    ScratchDirectory scratch;
    writeFeatures(1, {30, 5, 32, 6, 29, 4});
    writeFeatures(2, {5, 30, 6, 28, 4, 33, 7, 31});
    writeFeatures(3, {5, 30, 6, 28, 4, 33, 7, 31});
    ASSERT_EQ(generateModel(3, 2), 0);
    const std::vector<std::string> model = lines(readText("W&B.txt"));
    ASSERT_EQ(model.size(), 3u);
    EXPECT_EQ(model[0], model[1]);
}

TEST(GenerateModel, ASampleMaySpanTheTwoFilesOfAPair) {
    // Three numbers each at two channels: rows (1,2) +1, (3,4) -1, (5,6) -1.
    ScratchDirectory scratch;
    writeFeatures(1, {10, 2, 7});
    writeFeatures(2, {1, 9, 3});
    ASSERT_EQ(generateModel(2, 2), 0);

    PairProblem problem;
    problem.D = 2;
    problem.N = 3;
    problem.samples = {10, 2, 7, 1, 9, 3};
    problem.labels = {1, -1, -1};
    SvmParams params;
    PairModel expected;
    ASSERT_TRUE(trainPair(problem, params, expected));
    std::string line;
    appendModelLine(expected, 2, line);
    EXPECT_EQ(readText("W&B.txt"), line);
}

TEST(GenerateModel, ATokenThatIsNotANumberEndsTheReadingOfThatFile) {
    ScratchDirectory scratch;
    writeText("feature1.txt", "3.000000 oops 500.000000 ");
    writeFeatures(2, {1});
    testing::internal::CaptureStdout();
    ASSERT_EQ(generateModel(2, 1), 0);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(readText("W&B.txt"), "1.000000 -2.000000\n");
    EXPECT_NE(log.find("feature1.txt"), std::string::npos) << log;
}

TEST(GenerateModelRefusal, FewerThanTwoGesturesLeaveTheModelAsItWas) {
    ScratchDirectory scratch;
    writeText("W&B.txt", kEarlierModel);
    writeFeatures(1, {3});
    EXPECT_EQ(generateModel(1, 1), 1);
    EXPECT_EQ(generateModel(0, 1), 1);
    EXPECT_EQ(readText("W&B.txt"), kEarlierModel);
}

TEST(GenerateModelRefusal, AGestureWithoutSamplesFailsAndNamesItsPosition) {
    ScratchDirectory scratch;
    writeText("W&B.txt", kEarlierModel);
    writeFeatures(1, {30, 5});
    writeFeatures(2, {});
    writeFeatures(3, {20, 20});
    testing::internal::CaptureStdout();
    EXPECT_EQ(generateModel(3, 2), 1);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("gesture position 2 had no active windows"), std::string::npos) << log;
    EXPECT_EQ(readText("W&B.txt"), kEarlierModel);
}

TEST(GenerateModelRefusal, FewerNumbersThanOneSampleAreNoSample) {
    ScratchDirectory scratch;
    writeFeatures(1, {30, 5, 31, 6});
    writeFeatures(2, {5});
    testing::internal::CaptureStdout();
    EXPECT_EQ(generateModel(2, 2), 1);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("gesture position 2 had no active windows"), std::string::npos) << log;
    EXPECT_FALSE(fileExists("W&B.txt"));
}

TEST(GenerateModelRefusal, AMissingFeatureFileLeavesTheModelAsItWas) {
    ScratchDirectory scratch;
    writeText("W&B.txt", kEarlierModel);
    writeFeatures(1, {3});
    testing::internal::CaptureStdout();
    EXPECT_EQ(generateModel(2, 1), 1);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("feature2.txt"), std::string::npos) << log;
    EXPECT_EQ(readText("W&B.txt"), kEarlierModel);
}

TEST(GenerateModelRefusal, ChannelCountsOutsideOneToEightAreRefused) {
    ScratchDirectory scratch;
    writeFeatures(1, std::vector<float>(9, 3));
    writeFeatures(2, std::vector<float>(9, 1));
    testing::internal::CaptureStdout();
    EXPECT_EQ(generateModel(2, 0), 1);
    EXPECT_EQ(generateModel(2, 9), 1);
    EXPECT_EQ(generateModel(9, 1), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(fileExists("W&B.txt"));
}

TEST(GenerateModelRefusal, AModelThatCannotBeWrittenFailsAndLeavesTheEarlierOne) {
    ScratchDirectory scratch;
    writeText("W&B.txt", kEarlierModel);
    writeThreeGestures();
    std::filesystem::create_symlink("/dev/full", "W&B.txt.tmp");
    testing::internal::CaptureStdout();
    EXPECT_EQ(generateModel(3, 2), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(readText("W&B.txt"), kEarlierModel);
    EXPECT_FALSE(fileExists("W&B.txt.tmp"));
}

TEST(GenerateModelRefusal, AModelThatCannotTakeItsNameFails) {
    ScratchDirectory scratch;
    std::filesystem::create_directories("W&B.txt/inside");
    writeThreeGestures();
    testing::internal::CaptureStdout();
    EXPECT_EQ(generateModel(3, 2), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(std::filesystem::is_directory("W&B.txt/inside"));
    EXPECT_FALSE(fileExists("W&B.txt.tmp"));
}

TEST(GenerateModelLog, APairThatRunsOutOfIterationsIsNamed) {
    // Two heavily overlapping gestures (see the iteration cap tests).
    ScratchDirectory scratch;
    std::vector<float> first;
    std::vector<float> second;
    for (int k = 0; k < 40; ++k) {
        first.push_back(static_cast<float>(40 + (k * 37) % 29));
        first.push_back(static_cast<float>(20 + (k * 11) % 23));
        second.push_back(static_cast<float>(30 + (k * 13) % 31));
        second.push_back(static_cast<float>(25 + (k * 7) % 19));
    }
    writeFeatures(1, {100, 100});
    writeFeatures(2, first);
    writeFeatures(3, second);
    testing::internal::CaptureStdout();
    ASSERT_EQ(generateModel(3, 2), 0);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("pair (2,3) reached the iteration cap"), std::string::npos) << log;
    EXPECT_EQ(log.find("pair (1,2)"), std::string::npos) << log;
}

}  // namespace
