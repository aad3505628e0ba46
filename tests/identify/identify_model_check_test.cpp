#include "identify/identify_model_check.h"

#include <gtest/gtest.h>

#include <string>

#include "identify_test_support.h"

namespace {

using namespace identify_test;

struct CheckOutcome {
    bool accepted;
    ModelShape shape;
    std::string log;
};

// The shape starts as an earlier start left it, to show what a refusal keeps.
CheckOutcome check(std::uint8_t channels) {
    ModelShape shape{6, 4};
    testing::internal::CaptureStdout();
    const bool accepted = checkIdentifyModel(shape, channels);
    return {accepted, shape, testing::internal::GetCapturedStdout()};
}

class IdentifyModelCheck : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(scratch.ready()); }
    ScratchDirectory scratch;
};

TEST_F(IdentifyModelCheck, ThreeLinesOfNineNumbersMakeWindowsOf1040Bytes) {
    writeModel(zeroModel(3, 9));
    const CheckOutcome outcome = check(8);
    ASSERT_TRUE(outcome.accepted);
    EXPECT_EQ(outcome.shape.rows, 3);
    EXPECT_EQ(outcome.shape.valuesPerRow, 9);
    EXPECT_EQ(identifyWindowLengthFor(outcome.shape), 1040u);
}

TEST_F(IdentifyModelCheck, AMissingFileIsRefusedAndKeepsTheEarlierShape) {
    const CheckOutcome outcome = check(3);
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.shape.rows, 6);
    EXPECT_EQ(outcome.shape.valuesPerRow, 4);
    EXPECT_NE(outcome.log.find("checkIdentifyModel"), std::string::npos);
}

TEST_F(IdentifyModelCheck, MoreLinesThanThePairTableHoldsAreRefused) {
    writeModel(zeroModel(28, 3));
    EXPECT_TRUE(check(2).accepted);

    writeModel(zeroModel(29, 3));
    const CheckOutcome outcome = check(2);
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.shape.rows, 6);
    EXPECT_NE(outcome.log.find("checkIdentifyModel, W&B.txt has 29 lines, at most 28 fit"),
              std::string::npos);
}

TEST_F(IdentifyModelCheck, MoreNumbersPerLineThanEightChannelsAndABiasAreRefused) {
    writeModel(zeroModel(1, 10));
    const CheckOutcome outcome = check(9);
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.shape.valuesPerRow, 4);
    EXPECT_NE(outcome.log.find("W&B.txt has 10 numbers per line, at most 9 fit"),
              std::string::npos);
}

TEST_F(IdentifyModelCheck, AModelForOtherChannelsIsRefusedNamingBothCounts) {
    writeModel(zeroModel(3, 9));
    const CheckOutcome outcome = check(3);
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.shape.rows, 6);
    EXPECT_NE(outcome.log.find("checkIdentifyModel, W&B.txt has 8 channels, channel count is 3"),
              std::string::npos);
}

TEST_F(IdentifyModelCheck, AModelWithoutChannelsIsRefused) {
    writeModel("0.500000\n0.250000\n1.000000\n");
    const CheckOutcome outcome = check(0);
    EXPECT_FALSE(outcome.accepted);
    EXPECT_NE(outcome.log.find("W&B.txt has 0 channels, channel count is 0"), std::string::npos);
}

TEST(IdentifyWindowHandOver, TheLengthIsStoredBeforeTheLoadIsRequested) {
    resetIdentifyGlobals();
    requestIdentifyModelLoad(520);
    EXPECT_EQ(newModelFlag.load(), 1);
    EXPECT_EQ(identifyWindowLength.load(), 520u);
}

}  // namespace
