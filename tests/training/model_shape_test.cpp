#include "training/model_shape.h"

#include <gtest/gtest.h>

#include "tests/training/scratch_directory.h"

namespace {

TEST(ModelFileShape, AWellFormedFileGivesItsLinesAndValuesPerLine) {
    ScratchDirectory scratch;
    writeText("W&B.txt", "0.1 0.2 0.3\n0.4 0.5 0.6\n0.7 0.8 0.9\n");
    ModelShape shape;
    ASSERT_TRUE(checkModelFile(shape));
    EXPECT_EQ(shape.rows, 3);
    EXPECT_EQ(shape.valuesPerRow, 3);
}

TEST(ModelFileShape, OnlyTheTotalsAreLookedAt) {
    ScratchDirectory scratch;
    writeText("W&B.txt", "1 2\n1 2 3 4\n");
    ModelShape shape;
    ASSERT_TRUE(checkModelFile(shape));
    EXPECT_EQ(shape.rows, 2);
    EXPECT_EQ(shape.valuesPerRow, 3);
}

TEST(ModelFileShape, SpacesThatDoNotDivideAmongTheLinesAreRefused) {
    ScratchDirectory scratch;
    writeText("W&B.txt", "1 2\n1 2 3\n");
    ModelShape shape;
    shape.rows = 7;
    EXPECT_FALSE(checkModelFile(shape));
    EXPECT_EQ(shape.rows, 7);
}

TEST(ModelFileShape, AnEmptyOrMissingFileIsRefused) {
    ScratchDirectory scratch;
    ModelShape shape;
    EXPECT_FALSE(checkModelFile(shape));
    writeText("W&B.txt", "");
    EXPECT_FALSE(checkModelFile(shape));
    writeText("W&B.txt", "1 2 3");
    EXPECT_FALSE(checkModelFile(shape));
}

TEST(ModelFileShape, CarriageReturnsBeforeLineFeedsAreIgnored) {
    ScratchDirectory scratch;
    writeText("W&B.txt", "1 2\r\n3 4\r\n");
    ModelShape shape;
    ASSERT_TRUE(checkModelFile(shape));
    EXPECT_EQ(shape.rows, 2);
    EXPECT_EQ(shape.valuesPerRow, 2);
}

}  // namespace
