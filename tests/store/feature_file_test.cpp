#include "store/feature_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/feature_text.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<float> readBack(const std::string& text) {
    writeFile("feature1.txt", text);
    std::vector<float> values;
    std::string problem;
    EXPECT_TRUE(readFeatureFile("feature1.txt", 1, values, problem)) << problem;
    return values;
}

TEST(FeatureFileReading, NumbersAreReadInOrderStraightToFloat) {
    ScopedWorkingDirectory scratch;
    // Just above the midpoint between 1 and the next float: through double it
    // would land on the midpoint and round down to 1.
    const char* nearMidpoint = "1.0000000596046448";
    ASSERT_NE(static_cast<float>(std::strtod(nearMidpoint, nullptr)),
              std::strtof(nearMidpoint, nullptr));
    EXPECT_EQ(readBack(std::string("1.500000 -2.250000\n3.000000\t\t") + nearMidpoint + " \r\n"),
              (std::vector<float>{1.5f, -2.25f, 3.0f, std::strtof(nearMidpoint, nullptr)}));
    EXPECT_TRUE(readBack("").empty());
}

TEST(FeatureFileReading, AFileThatIsNotWholeSamplesOfFiniteNumbersIsRefusedWithItsReason) {
    ScopedWorkingDirectory scratch;
    // What the refusal says, for a file read as samples of two numbers.
    const auto refusal = [](const std::string& text) {
        writeFile("feature1.txt", text);
        std::vector<float> values{7.0f};
        std::string problem;
        EXPECT_FALSE(readFeatureFile("feature1.txt", 2, values, problem)) << text;
        EXPECT_EQ(values, std::vector<float>{7.0f}) << "nothing is added: " << text;
        return problem;
    };
    EXPECT_EQ(refusal("3.000000 2.000000 abc 100.000000 "),
              "a token that is not a number at byte 18");
    for (const char* token : {"nan", "-inf", "1e39"}) {
        EXPECT_EQ(refusal(std::string("1.000000 ") + token + " "),
                  "a token that is not a number at byte 9");
    }
    EXPECT_EQ(refusal(std::string("1.000000 \0 2.000000 ", 20)),
              "a token that is not a number at byte 9");
    EXPECT_EQ(refusal("1.000000 2.000000 3.000000 4.00"),
              "it ends inside the number at byte 27: cut short");
    EXPECT_EQ(refusal("1.000000 2.000000 3.000000 "),
              "it holds 3 numbers, not whole samples of 2: cut short");
    std::vector<float> values;
    std::string problem;
    EXPECT_FALSE(readFeatureFile("missing.txt", 2, values, problem));
    EXPECT_EQ(problem, "it cannot be read: No such file or directory");
}

}  // namespace
