#include "store/model_shape.h"

#include <gtest/gtest.h>

#include "tests/support/feature_text.h"
#include "tests/support/temp_dir.h"

namespace {

struct ShapeCase {
    const char* text;
    bool passes;
    int rows;
    int valuesPerRow;
};

class ModelFileShape : public testing::TestWithParam<ShapeCase> {};

TEST_P(ModelFileShape, LinesOfEqualCountsOfFiniteNumbersPassAndARefusalSaysWhy) {
    ScopedWorkingDirectory scratch;
    writeFile("W&B.txt", GetParam().text);
    ModelShape shape{7, 7};
    std::string problem;
    ASSERT_EQ(checkModelFile(shape, problem), GetParam().passes) << GetParam().text;
    EXPECT_EQ(problem.empty(), GetParam().passes) << problem;
    EXPECT_EQ(shape.rows, GetParam().rows);
    EXPECT_EQ(shape.valuesPerRow, GetParam().valuesPerRow);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ModelFileShape,
    testing::Values(ShapeCase{"0.1 0.2 0.3\n0.4 0.5 0.6\n0.7 0.8 0.9\n", true, 3, 3},
                    ShapeCase{"1 2\n1 2 3 4\n", false, 7, 7},  // unequal lines
                    ShapeCase{"1 2\r\n3 4\r\n", true, 2, 2}, ShapeCase{"1 2\n1 2 3\n", false, 7, 7},
                    ShapeCase{"1 2 3", false, 7, 7}, ShapeCase{"", false, 7, 7},
                    ShapeCase{"1 inf\n", false, 7, 7}, ShapeCase{"nan 1\n", false, 7, 7},
                    ShapeCase{"1  2\n", false, 7, 7}, ShapeCase{"1 2 \n", false, 7, 7},
                    ShapeCase{"1\n", false, 7, 7}));

TEST(ModelFileShapeMissing, AMissingFileFailsAndSaysWhy) {
    ScopedWorkingDirectory scratch;
    ModelShape shape;
    std::string problem;
    EXPECT_FALSE(checkModelFile(shape, problem));
    EXPECT_EQ(problem, "it cannot be opened: No such file or directory");
}

}  // namespace
