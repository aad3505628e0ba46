#include "identify/model_load.h"

#include <gtest/gtest.h>

#include <string>

#include "identify/identifier.h"
#include "identify_test_support.h"
#include "training/model_shape.h"

namespace {

using namespace identify_test;

struct LoadOutcome {
    ModelLoadResult result;
    std::string log;
};

LoadOutcome load(std::uint32_t windowChannels, Identifier& identifier, PairTable& table) {
    testing::internal::CaptureStdout();
    const ModelLoadResult result = loadModel(windowChannels, identifier, table);
    return {result, testing::internal::GetCapturedStdout()};
}

bool logHas(const LoadOutcome& outcome, const std::string& text) {
    return outcome.log.find(text) != std::string::npos;
}

class ModelLoad : public testing::Test {
  protected:
    ScratchDirectory scratch;
    Identifier identifier;
    PairTable table{};
};

TEST(ModelLoadGestureCount, ComesBackFromThePairCount) {
    EXPECT_EQ(gestureCountForRows(1), 2);
    EXPECT_EQ(gestureCountForRows(3), 3);
    EXPECT_EQ(gestureCountForRows(6), 4);
    EXPECT_EQ(gestureCountForRows(10), 5);
    EXPECT_EQ(gestureCountForRows(15), 6);
    EXPECT_EQ(gestureCountForRows(21), 7);
    EXPECT_EQ(gestureCountForRows(28), 8);
}

TEST_F(ModelLoad, ThreeLinesFillThreePairRowsBiasFirstAndResetTheClassifier) {
    ASSERT_TRUE(scratch.ready());
    writeModel(
        "0.125000 -0.031250 1.500000\n"
        "2.000000 3.000000 -4.000000\n"
        "-0.500000 0.250000 0.000000\n");
    identifier.primed = true;
    identifier.decisionCounts[2] = 5;
    table[3][0] = 9.0f;

    const LoadOutcome outcome = load(2, identifier, table);

    ASSERT_EQ(outcome.result, ModelLoadResult::loaded);
    EXPECT_EQ(identifier.channels, 2);
    EXPECT_EQ(identifier.gestures, 3);
    EXPECT_FALSE(identifier.primed);
    EXPECT_EQ(identifier.decisionCounts[2], 0u);
    EXPECT_EQ(identifier.baseline[0], 123.69f);
    EXPECT_EQ(table[0], (PairRow{1.5f, 0.125f, -0.03125f}));
    EXPECT_EQ(table[1], (PairRow{-4.0f, 2.0f, 3.0f}));
    EXPECT_EQ(table[2], (PairRow{0.0f, -0.5f, 0.25f}));
    EXPECT_EQ(table[3], PairRow{});
    EXPECT_TRUE(logHas(outcome, "]: Identify init, detect new model\n"));
    EXPECT_TRUE(logHas(outcome, "]: identify gesture number:3\n"));
    EXPECT_TRUE(logHas(outcome, "]: identify channel number:2\n"));
}

TEST_F(ModelLoad, TwentyEightLinesOfEightWeightsMakeAnEightGestureModel) {
    ASSERT_TRUE(scratch.ready());
    std::string text;
    for (int line = 0; line < 28; ++line) {
        for (int c = 0; c < 8; ++c) {
            text += std::to_string(c) + ".000000 ";
        }
        text += std::to_string(line) + ".000000\n";
    }
    writeModel(text);

    const LoadOutcome outcome = load(8, identifier, table);

    ASSERT_EQ(outcome.result, ModelLoadResult::loaded);
    EXPECT_EQ(identifier.gestures, 8);
    EXPECT_EQ(identifier.channels, 8);
    EXPECT_EQ(table[27], (PairRow{27.0f, 0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(logHas(outcome, "identify gesture number:8\n"));
}

TEST_F(ModelLoad, NumbersAreReadAsFloatsAcrossCarriageReturnsAndOddSpacing) {
    ASSERT_TRUE(scratch.ready());
    // 16777217 has no float of its own: read straight to float it is 16777216.
    writeModel("16777217 -1e-3 \t0.1\r\n");
    ASSERT_EQ(load(2, identifier, table).result, ModelLoadResult::loaded);
    EXPECT_EQ(table[0], (PairRow{0.1f, 16777216.0f, -0.001f}));
}

TEST_F(ModelLoad, NumbersMissingOrAfterAnUnreadableOneAreZero) {
    ASSERT_TRUE(scratch.ready());
    // Three lines of three numbers by their spaces; the text runs out early.
    writeModel("1 2 3\n4 5 6\n7  \n");
    ASSERT_EQ(load(2, identifier, table).result, ModelLoadResult::loaded);
    EXPECT_EQ(table[1], (PairRow{6.0f, 4.0f, 5.0f}));
    EXPECT_EQ(table[2], (PairRow{0.0f, 7.0f, 0.0f}));

    writeModel("1.5 2.5 3.5\noops 4 5\n6 7 8\n");
    ASSERT_EQ(load(2, identifier, table).result, ModelLoadResult::loaded);
    EXPECT_EQ(table[0], (PairRow{3.5f, 1.5f, 2.5f}));
    EXPECT_EQ(table[1], PairRow{});
    EXPECT_EQ(table[2], PairRow{});
}

TEST_F(ModelLoad, ShapeComesFromTheTotalsLikeTheFileCheck) {
    ASSERT_TRUE(scratch.ready());
    // One and three spaces: 2 rows of 3 numbers by the totals.
    writeModel("1 2\n3 4 5 6\n");
    ModelShape checked;
    ASSERT_TRUE(checkModelFile(checked));
    ASSERT_EQ(load(2, identifier, table).result, ModelLoadResult::loaded);
    EXPECT_EQ(identifier.channels, checked.valuesPerRow - 1);
    EXPECT_EQ(identifier.gestures, gestureCountForRows(checked.rows));
    EXPECT_EQ(table[0], (PairRow{3.0f, 1.0f, 2.0f}));

    // One and two spaces do not divide evenly.
    writeModel("1 2\n3 4 5\n");
    EXPECT_FALSE(checkModelFile(checked));
    EXPECT_EQ(load(2, identifier, table).result, ModelLoadResult::refused);
}

class ModelLoadRefusal : public ModelLoad {
  protected:
    // A good two-channel model is loaded first; a refusal must leave it alone.
    void SetUp() override {
        ASSERT_TRUE(scratch.ready());
        writeModel("1 2 3\n4 5 6\n7 8 9\n");
        ASSERT_EQ(load(2, identifier, table).result, ModelLoadResult::loaded);
        identifier.primed = true;
        identifier.decisionCounts[1] = 2;
        before = identifier;
        tableBefore = table;
    }

    void expectUnchanged() const {
        EXPECT_EQ(identifier.channels, before.channels);
        EXPECT_EQ(identifier.gestures, before.gestures);
        EXPECT_TRUE(identifier.primed);
        EXPECT_EQ(identifier.decisionCounts, before.decisionCounts);
        EXPECT_EQ(table, tableBefore);
    }

    Identifier before;
    PairTable tableBefore{};
};

TEST_F(ModelLoadRefusal, AMissingFileIsReportedAndChangesNothing) {
    std::remove("W&B.txt");
    const LoadOutcome outcome = load(2, identifier, table);
    EXPECT_EQ(outcome.result, ModelLoadResult::missing);
    EXPECT_TRUE(logHas(outcome, "W&B.txt cannot be opened"));
    expectUnchanged();
}

TEST_F(ModelLoadRefusal, MoreThanTwentyEightLinesAreRefused) {
    writeModel(zeroModel(29, 3));
    const LoadOutcome outcome = load(2, identifier, table);
    EXPECT_EQ(outcome.result, ModelLoadResult::refused);
    EXPECT_TRUE(logHas(outcome, "identifyWorker, W&B.txt has 29 lines, at most 28 fit"));
    expectUnchanged();
}

TEST_F(ModelLoadRefusal, MoreThanNineNumbersPerLineAreRefused) {
    writeModel(zeroModel(3, 10));
    const LoadOutcome outcome = load(9, identifier, table);
    EXPECT_EQ(outcome.result, ModelLoadResult::refused);
    EXPECT_TRUE(logHas(outcome, "identifyWorker, W&B.txt has 10 numbers per line, at most 9 fit"));
    expectUnchanged();
}

TEST_F(ModelLoadRefusal, AModelForOtherChannelsThanTheWindowsIsRefusedNamingBoth) {
    writeModel(zeroModel(3, 4));
    const LoadOutcome outcome = load(2, identifier, table);
    EXPECT_EQ(outcome.result, ModelLoadResult::refused);
    EXPECT_TRUE(logHas(outcome, "identifyWorker, W&B.txt has 3 channels, channel count is 2"));
    expectUnchanged();
}

TEST_F(ModelLoadRefusal, LinesWithoutWeightsAreRefused) {
    writeModel("1.000000\n2.000000\n3.000000\n");
    const LoadOutcome outcome = load(0, identifier, table);
    EXPECT_EQ(outcome.result, ModelLoadResult::refused);
    EXPECT_TRUE(logHas(outcome, "W&B.txt has 0 channels"));
    expectUnchanged();
}

TEST_F(ModelLoadRefusal, AFileWithoutLinesOrWithUnevenLinesIsRefused) {
    for (const char* text : {"", "1 2 3", "1 2 3\n4 5\n"}) {
        writeModel(text);
        EXPECT_EQ(load(2, identifier, table).result, ModelLoadResult::refused) << text;
        expectUnchanged();
    }
}

TEST_F(ModelLoadRefusal, AFileFarLargerThanAnyModelIsRefused) {
    writeModel("1 2 3\n" + std::string(70000, '0') + " 4 5\n");
    EXPECT_EQ(load(2, identifier, table).result, ModelLoadResult::refused);
    expectUnchanged();
}

}  // namespace
