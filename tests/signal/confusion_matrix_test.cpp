#include "signal/confusion_matrix.h"

#include <gtest/gtest.h>

namespace {

TEST(ConfusionMatrix, ScoresComeFromRowsColumnsAndTheDiagonalWithRestAsClassZero) {
    ConfusionMatrix matrix(3);
    EXPECT_EQ(matrix.classes(), 4u);
    const std::pair<int, int> decisions[] = {{1, 1}, {1, 1}, {1, 2}, {2, 2}, {3, 2}, {3, 2},
                                             {3, 3}, {2, 1}, {0, 0}, {0, 3}, {1, 0}, {4, 1}};
    for (auto [truth, reported] : decisions) {
        matrix.add(static_cast<std::size_t>(truth), static_cast<std::size_t>(reported));
    }
    EXPECT_EQ(matrix.total(), 11u);  // the last names no class of the model
    EXPECT_FLOAT_EQ(*matrix.accuracy(), 5.0f / 11.0f);
    EXPECT_FLOAT_EQ(*matrix.recall(3), 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(*matrix.recall(0), 1.0f / 2.0f);
    EXPECT_FLOAT_EQ(*matrix.precision(2), 1.0f / 4.0f);
    EXPECT_FLOAT_EQ(*matrix.precision(0), 1.0f / 2.0f);
    const auto pair = matrix.mostConfused();
    ASSERT_TRUE(pair);
    // 1 and 2 are taken for each other twice, as are 2 and 3: the lower pair
    // is named; rest taken for a gesture is not a confusion of two gestures.
    EXPECT_EQ(pair->first, 1u);
    EXPECT_EQ(pair->second, 2u);
    EXPECT_EQ(pair->windows, 2u);
    EXPECT_FALSE(ConfusionMatrix(2).accuracy());
    EXPECT_FALSE(ConfusionMatrix(2).mostConfused());
}

}  // namespace
