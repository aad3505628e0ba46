#include "evaluation/confusion_matrix.h"

#include <gtest/gtest.h>

namespace {

TEST(ConfusionMatrix, ScoresComeFromRowsColumnsAndTheDiagonal) {
    ConfusionMatrix matrix(3);
    const std::pair<int, int> windows[] = {{1, 1}, {1, 1}, {1, 2}, {2, 2}, {3, 2},
                                           {3, 2}, {3, 3}, {2, 1}, {4, 1}, {1, 0}};
    for (auto [recorded, chosen] : windows) {
        matrix.add(static_cast<std::size_t>(recorded), static_cast<std::size_t>(chosen));
    }
    EXPECT_EQ(matrix.total(), 8u);  // the last two name no gesture of the model
    EXPECT_FLOAT_EQ(*matrix.accuracy(), 4.0f / 8.0f);
    EXPECT_FLOAT_EQ(*matrix.recall(3), 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(*matrix.precision(2), 1.0f / 4.0f);
    const auto pair = matrix.mostConfused();
    ASSERT_TRUE(pair);
    // 1 and 2 are taken for each other twice, as are 2 and 3: the lower pair is named.
    EXPECT_EQ(pair->first, 1u);
    EXPECT_EQ(pair->second, 2u);
    EXPECT_EQ(pair->windows, 2u);
    EXPECT_FALSE(ConfusionMatrix(2).accuracy());
    EXPECT_FALSE(ConfusionMatrix(2).mostConfused());
}

}  // namespace
