#include "store/identify_model_check.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/identify_test_support.h"

namespace {

using namespace identify_test;

class IdentifyModelCheck : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(scratch.ready()); }

    // The shape starts as an earlier start left it, to show what a refusal keeps.
    bool check(std::uint8_t channels) {
        shape = ModelShape{6, 4};
        bool accepted = false;
        log = logOf([&] { accepted = checkIdentifyModel(shape, channels); });
        return accepted;
    }
    bool refusedKeepingTheShape(const std::string& why) const {
        return shape.rows == 6 && shape.valuesPerRow == 4 && log.find(why) != std::string::npos;
    }

    ScopedWorkingDirectory scratch;
    ModelShape shape;
    std::string log;
};

TEST_F(IdentifyModelCheck, ThreeLinesOfNineNumbersMakeWindowsOf1040Bytes) {
    writeModel(zeroModel(3, 9));
    ASSERT_TRUE(check(8));
    EXPECT_EQ(shape.rows, 3);
    EXPECT_EQ(shape.valuesPerRow, 9);
    EXPECT_EQ(identifyWindowLengthFor(shape), 1040u);
}

TEST_F(IdentifyModelCheck, AMissingFileIsRefused) {
    EXPECT_FALSE(check(3));
    EXPECT_TRUE(refusedKeepingTheShape("checkIdentifyModel, W&B.txt missing or malformed"));
}

TEST_F(IdentifyModelCheck, MoreLinesThanThePairTableHoldsAreRefused) {
    writeModel(zeroModel(28, 3));
    EXPECT_TRUE(check(2));
    writeModel(zeroModel(29, 3));
    EXPECT_FALSE(check(2));
    EXPECT_TRUE(
        refusedKeepingTheShape("checkIdentifyModel, W&B.txt missing or malformed: it has "
                               "more than 28 lines"));
}

TEST_F(IdentifyModelCheck, MoreNumbersPerLineThanEightWeightsAndABiasAreRefused) {
    writeModel(zeroModel(1, 10));
    EXPECT_FALSE(check(9));
    EXPECT_TRUE(refusedKeepingTheShape("its lines hold 10 numbers, not 2 to 9"));
}

TEST_F(IdentifyModelCheck, AModelForOtherChannelsIsRefusedNamingBothCounts) {
    writeModel(zeroModel(3, 9));
    EXPECT_FALSE(check(3));
    EXPECT_TRUE(
        refusedKeepingTheShape("checkIdentifyModel, W&B.txt has 8 channels, channel count is 3"));
}

TEST_F(IdentifyModelCheck, AModelWithoutChannelsIsRefused) {
    writeModel("0.500000\n0.250000\n1.000000\n");
    EXPECT_FALSE(check(0));
    EXPECT_TRUE(refusedKeepingTheShape("its lines hold 1 numbers, not 2 to 9"));
}

TEST_F(IdentifyModelCheck, OnlyTheGesturesTheModelWasTrainedOnAreNamed) {
    writeModel(zeroModel(3, 3));
    log = logOf([&] { EXPECT_FALSE(modelTrainedOnGestures(ModelShape{3, 3}, 0x07)); });
    EXPECT_NE(log.find("W&B.gestures is missing"), std::string::npos) << log;
    writeFile("W&B.gestures", "0x13\n");
    EXPECT_TRUE(modelTrainedOnGestures(ModelShape{3, 3}, 0x13));
    log = logOf([&] { EXPECT_FALSE(modelTrainedOnGestures(ModelShape{3, 3}, 0x07)); });
    EXPECT_NE(log.find("trained on gestures 0x13, the configuration names 0x07"),
              std::string::npos);
    log = logOf([&] { EXPECT_FALSE(modelTrainedOnGestures(ModelShape{6, 3}, 0x13)); });
    EXPECT_NE(log.find("W&B.txt has 6 lines, 3 gestures make 3 pairs"), std::string::npos) << log;
}

}  // namespace
