#include "pipeline/generate_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "store/model_shape.h"
#include "tests/support/feature_text.h"
#include "tests/support/temp_dir.h"

namespace {

void writeFeatures(int position, const std::vector<float>& values) {
    writeFile("feature" + std::to_string(position) + ".txt", featureText(values));
}

// Three separable two-channel gestures.
void writeThreeGestures() {
    writeFeatures(1, {30, 5, 32, 6, 29, 4, 31, 7});
    writeFeatures(2, {5, 30, 6, 28, 4, 33, 7, 31});
    writeFeatures(3, {20, 20, 22, 19, 18, 21, 21, 23});
}

const std::string kEarlierModel = "9.000000 9.000000 9.000000\n";

TEST(GenerateModel, EveryPairGetsALineOfWeightsThenBiasThatVotesForItsFirstGesture) {
    ScopedWorkingDirectory scratch;
    writeFile("W&B.txt", kEarlierModel + kEarlierModel + kEarlierModel + kEarlierModel);
    writeThreeGestures();
    ASSERT_EQ(generateModel(3, 2), 0);
    ModelShape shape;
    std::string problem;
    ASSERT_TRUE(checkModelFile(shape, problem)) << problem;
    EXPECT_EQ(shape.rows, 3);  // the whole earlier file is replaced
    EXPECT_EQ(shape.valuesPerRow, 3);
    EXPECT_FALSE(fileExists("W&B.txt.tmp"));
    const std::string model = readFile("W&B.txt");
    const float samples[3][2] = {{30, 5}, {5, 30}, {20, 20}};
    const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    const char* line = model.c_str();
    for (const auto& pair : pairs) {
        float w0, w1, bias;
        int used = 0;
        ASSERT_EQ(std::sscanf(line, "%f %f %f\n%n", &w0, &w1, &bias, &used), 3);
        EXPECT_EQ(std::count(line, line + used, ' '), 2);
        line += used;
        EXPECT_GE(bias + w0 * samples[pair[0]][0] + w1 * samples[pair[0]][1], 0.0f);
        EXPECT_LT(bias + w0 * samples[pair[1]][0] + w1 * samples[pair[1]][1], 0.0f);
    }
}

TEST(GenerateModel, PairsWithIdenticalSamplesTrainToIdenticalLines) {
    ScopedWorkingDirectory scratch;
    writeFeatures(1, {30, 5, 32, 6, 29, 4});
    writeFeatures(2, {5, 30, 6, 28, 4, 33, 7, 31});
    writeFeatures(3, {5, 30, 6, 28, 4, 33, 7, 31});
    ASSERT_EQ(generateModel(3, 2), 0);
    const std::string model = readFile("W&B.txt");
    const std::size_t first = model.find('\n') + 1;
    EXPECT_EQ(model.substr(0, first), model.substr(first, first));
}

TEST(GenerateModel, SamplesAreRowsOfTheTwoFilesReadAsOneList) {
    // Two channels: rows (10,2) +1, (7,1) +1, (9,3) -1.
    ScopedWorkingDirectory scratch;
    writeFeatures(1, {10, 2, 7, 1});
    writeFeatures(2, {9, 3});
    ASSERT_EQ(generateModel(2, 2), 0);
    PairProblem problem;
    problem.D = 2;
    problem.N = 3;
    problem.samples = {10, 2, 7, 1, 9, 3};
    problem.labels = {1, 1, -1};
    SvmParams params;
    PairModel expected;
    ASSERT_TRUE(trainPair(problem, params, expected));
    std::string line;
    appendModelLine(expected, 2, line);
    EXPECT_EQ(readFile("W&B.txt"), line);
}

TEST(GenerateModel, APairThatRunsOutOfIterationsIsNamed) {
    ScopedWorkingDirectory scratch;
    std::vector<float> first, second;
    for (int k = 0; k < 40; ++k) {  // heavily overlapping
        first.insert(first.end(), {40.0f + (k * 37) % 29, 20.0f + (k * 11) % 23});
        second.insert(second.end(), {30.0f + (k * 13) % 31, 25.0f + (k * 7) % 19});
    }
    writeFeatures(1, {100, 100});
    writeFeatures(2, first);
    writeFeatures(3, second);
    const std::string log = logOf([] { ASSERT_EQ(generateModel(3, 2), 0); });
    EXPECT_NE(log.find("pair (2,3) reached the iteration cap"), std::string::npos) << log;
    EXPECT_EQ(log.find("pair (1,2)"), std::string::npos) << log;
}

// Each refusal returns 1 with "W&B.txt" as it was and logs why.
struct Refusal {
    const char* what;
    int gestures;
    int channels;
    void (*prepare)();
    const char* logged;
};

class GenerateModelRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(GenerateModelRefusal, LeavesTheEarlierModel) {
    ScopedWorkingDirectory scratch;
    writeFile("W&B.txt", kEarlierModel);
    writeThreeGestures();
    GetParam().prepare();
    const std::string log =
        logOf([] { EXPECT_EQ(generateModel(GetParam().gestures, GetParam().channels), 1); });
    EXPECT_NE(log.find(GetParam().logged), std::string::npos) << log;
    EXPECT_EQ(readFile("W&B.txt"), kEarlierModel);
    EXPECT_FALSE(fileExists("W&B.txt.tmp"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GenerateModelRefusal,
    testing::Values(Refusal{"one gesture", 1, 2, [] {}, "1 gestures"},
                    Refusal{"no gesture", 0, 2, [] {}, "0 gestures"},
                    Refusal{"nine channels", 3, 9, [] {}, "9 channels"},
                    Refusal{"no channel", 3, 0, [] {}, "0 channels"},
                    Refusal{"no sample", 3, 2, [] { writeFeatures(2, {}); },
                            "gesture position 2 had no active windows"},
                    Refusal{"less than a sample", 3, 2, [] { writeFeatures(3, {5}); },
                            "feature3.txt cannot be trained on: it holds 1 numbers, not whole "
                            "samples of 2: cut short"},
                    Refusal{"a sample cut short", 3, 2,
                            [] { writeFile("feature2.txt", "5.000000 30.000000 6.0"); },
                            "feature2.txt cannot be trained on: it ends inside the number at "
                            "byte 19: cut short"},
                    Refusal{"not a number", 3, 2,
                            [] { writeFile("feature1.txt", "30.000000 5.000000 oops 6.000000 "); },
                            "feature1.txt cannot be trained on: a token that is not a number at "
                            "byte 19"},
                    Refusal{"missing file", 3, 2, [] { std::filesystem::remove("feature2.txt"); },
                            "feature2.txt"},
                    Refusal{"write fails", 3, 2,
                            [] { std::filesystem::create_symlink("/dev/full", "W&B.txt.tmp"); },
                            "could not be written (cannot write W&B.txt.tmp: No space left on "
                            "device)"}),
    [](const testing::TestParamInfo<Refusal>& info) {
        std::string name = info.param.what;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST(GenerateModelWrite, AModelThatCannotTakeItsNameFails) {
    ScopedWorkingDirectory scratch;
    std::filesystem::create_directories("W&B.txt/inside");
    writeThreeGestures();
    logOf([] { EXPECT_EQ(generateModel(3, 2), 1); });
    EXPECT_TRUE(std::filesystem::is_directory("W&B.txt/inside"));
    EXPECT_FALSE(fileExists("W&B.txt.tmp"));
}

TEST(ReplacingAFile, AFailureSaysWhichStepFailedAndWhyAndLeavesNoTemporaryFile) {
    ScopedWorkingDirectory scratch;
    std::filesystem::create_directory("a.txt.tmp");
    FileWrite written = writeFileAtomically("a.txt", "x", 1);
    EXPECT_EQ(written.failed, FileWrite::Step::open);
    EXPECT_EQ(written.reason, "cannot create a.txt.tmp: Is a directory");

    std::filesystem::create_symlink("/dev/full", "b.txt.tmp");
    written = writeFileAtomically("b.txt", "x", 1);
    EXPECT_EQ(written.failed, FileWrite::Step::write);
    EXPECT_EQ(written.error, ENOSPC);
    EXPECT_EQ(written.reason, "cannot write b.txt.tmp: No space left on device");
    EXPECT_FALSE(std::filesystem::is_symlink("b.txt.tmp"));

    std::filesystem::create_directories("c.txt/inside");
    written = writeFileAtomically("c.txt", "x", 1);
    EXPECT_EQ(written.failed, FileWrite::Step::rename);
    EXPECT_EQ(written.reason, "cannot rename c.txt.tmp to c.txt: Is a directory");
    EXPECT_FALSE(fileExists("c.txt.tmp"));

    written = writeFileAtomically("d.txt", "x", 1);
    EXPECT_TRUE(written) << written.reason;
    EXPECT_EQ(readFile("d.txt"), "x");
}

}  // namespace
