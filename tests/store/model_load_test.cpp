#include "store/model_load.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/identify_test_support.h"

namespace {

using namespace identify_test;

class ModelLoad : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(scratch.ready()); }

    ModelLoadResult load(std::uint32_t windowChannels) {
        ModelLoadResult result{};
        log = logOf([&] { result = loadModel(windowChannels, identifier, table); });
        return result;
    }
    bool logged(const std::string& text) const { return log.find(text) != std::string::npos; }

    ScopedWorkingDirectory scratch;
    Identifier identifier;
    PairTable table{};
    std::string log;
};

TEST(ModelLoadGestureCount, ComesBackFromThePairCount) {
    const int rows[] = {1, 3, 6, 10, 15, 21, 28};
    for (int g = 2; g <= 8; ++g) {
        EXPECT_EQ(gestureCountForRows(rows[g - 2]), g);
    }
}

TEST_F(ModelLoad, ThreeLinesFillThreePairRowsBiasFirstAndResetTheClassifier) {
    writeModel(
        "0.125000 -0.031250 1.500000\n"
        "2.000000 3.000000 -4.000000\n"
        "-0.500000 0.250000 0.000000\n");
    identifier.primed = true;
    identifier.decisionCounts[2] = 5;
    table[3][0] = 9.0f;

    ASSERT_EQ(load(2), ModelLoadResult::loaded);
    EXPECT_EQ(identifier.channels, 2);
    EXPECT_EQ(identifier.gestures, 3);
    EXPECT_FALSE(identifier.primed);
    EXPECT_EQ(identifier.decisionCounts[2], 0u);
    EXPECT_EQ(identifier.baseline[0], 123.69f);
    EXPECT_EQ(table[0], (PairRow{1.5f, 0.125f, -0.03125f}));
    EXPECT_EQ(table[1], (PairRow{-4.0f, 2.0f, 3.0f}));
    EXPECT_EQ(table[2], (PairRow{0.0f, -0.5f, 0.25f}));
    EXPECT_EQ(table[3], PairRow{});
    EXPECT_TRUE(logged("]: Identify init, detect new model\n"));
    EXPECT_TRUE(logged("]: identify gesture number:3\n"));
    EXPECT_TRUE(logged("]: identify channel number:2\n"));
}

TEST_F(ModelLoad, TwentyEightLinesMakeAnEightGestureModel) {
    writeModel(zeroModel(27, 9) + "0 1 2 3 4 5 6 7 27\n");
    ASSERT_EQ(load(8), ModelLoadResult::loaded);
    EXPECT_EQ(identifier.gestures, 8);
    EXPECT_EQ(table[27], (PairRow{27.0f, 0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(ModelLoad, NumbersAreReadStraightToFloatAndACarriageReturnIsIgnored) {
    // 16777217 has no float of its own: read straight to float it is 16777216.
    writeModel("16777217 -1e-3 0.1\r\n");
    ASSERT_EQ(load(2), ModelLoadResult::loaded);
    EXPECT_EQ(table[0], (PairRow{0.1f, 16777216.0f, -0.001f}));
}

TEST_F(ModelLoad, AFileTheCheckRefusesIsRefusedHereToo) {
    // Numbers missing, unreadable, not finite, or lines of unequal length.
    for (const std::string text : {"1 2 3\n4 5 6\n7  \n", "1.5 2.5 3.5\noops 4 5\n6 7 8\n",
                                   "1 nan 3\n", "1 2\n3 4 5 6\n", "1\t2 3\n"}) {
        writeModel(text);
        ModelShape checked;
        std::string problem;
        EXPECT_FALSE(checkModelFile(checked, problem)) << text;
        EXPECT_EQ(load(2), ModelLoadResult::refused) << text;
        EXPECT_TRUE(logged("identifyWorker, W&B.txt refused: ")) << log;
    }
}

TEST_F(ModelLoad, RefusalsAreLoggedAndLeaveTheLoadedModelAlone) {
    writeModel("1 2 3\n4 5 6\n7 8 9\n");
    ASSERT_EQ(load(2), ModelLoadResult::loaded);
    identifier.primed = true;
    const PairTable loaded = table;

    std::remove(kModelFileName);
    EXPECT_EQ(load(2), ModelLoadResult::missing);
    EXPECT_TRUE(logged("W&B.txt cannot be opened"));

    const std::pair<std::string, std::string> refused[] = {
        {zeroModel(3, 4), "identifyWorker, W&B.txt has 3 channels, channel count is 2"},
        {zeroModel(29, 3), "identifyWorker, W&B.txt refused: it has more than 28 lines"},
        {"", "W&B.txt refused: it is empty"},
        {"1 2\n3 4 5\n", "W&B.txt refused: its lines hold different counts of numbers"},
        {"1 2 3\n" + std::string(70000, '0') + " 4 5\n", "larger than"},
    };
    for (const auto& [text, why] : refused) {
        writeModel(text);
        EXPECT_EQ(load(2), ModelLoadResult::refused) << why;
        EXPECT_TRUE(logged(why)) << log;
    }
    EXPECT_TRUE(identifier.primed);
    EXPECT_EQ(identifier.gestures, 3);
    EXPECT_EQ(table, loaded);
}

}  // namespace
