#include "training/feature_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/training/scratch_directory.h"

namespace {

std::vector<float> readBack(const std::string& text, bool* opened = nullptr) {
    writeText("feature1.txt", text);
    std::vector<float> values;
    const bool ok = readFeatureFile("feature1.txt", values);
    if (opened != nullptr) {
        *opened = ok;
    }
    return values;
}

TEST(FeatureFileReading, EveryNumberIsReadInFileOrderWhateverTheWhiteSpace) {
    ScratchDirectory scratch;
    EXPECT_EQ(readBack("1.500000 -2.250000\n3.000000\t\t4.000000 \r\n"),
              (std::vector<float>{1.5f, -2.25f, 3.0f, 4.0f}));
}

TEST(FeatureFileReading, NumbersGoStraightToFloatNotThroughDouble) {
    ScratchDirectory scratch;
    // Just above the midpoint between 1 and the next float: through double it
    // would land on the midpoint and round down to 1.
    const char* text = "1.0000000596046448";
    ASSERT_NE(static_cast<float>(std::strtod(text, nullptr)), std::strtof(text, nullptr));
    const std::vector<float> values = readBack(text);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(values[0]),
              std::bit_cast<std::uint32_t>(std::strtof(text, nullptr)));
    EXPECT_GT(values[0], 1.0f);
}

TEST(FeatureFileReading, ATokenThatIsNotANumberEndsTheReadingAndIsLogged) {
    ScratchDirectory scratch;
    testing::internal::CaptureStdout();
    const std::vector<float> values = readBack("3.000000 2.000000 abc 100.000000 ");
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(values, (std::vector<float>{3.0f, 2.0f}));
    EXPECT_NE(log.find("feature1.txt"), std::string::npos) << log;
}

TEST(FeatureFileReading, ValuesThatAreNotFiniteEndTheReading) {
    ScratchDirectory scratch;
    testing::internal::CaptureStdout();
    EXPECT_EQ(readBack("1.000000 nan 2.000000 "), (std::vector<float>{1.0f}));
    EXPECT_EQ(readBack("1.000000 -inf 2.000000 "), (std::vector<float>{1.0f}));
    EXPECT_EQ(readBack("1.000000 1e39 2.000000 "), (std::vector<float>{1.0f}));
    testing::internal::GetCapturedStdout();
}

TEST(FeatureFileReading, AZeroByteInTheFileEndsTheReading) {
    ScratchDirectory scratch;
    testing::internal::CaptureStdout();
    EXPECT_EQ(readBack(std::string("1.000000 \0 2.000000 ", 20)), (std::vector<float>{1.0f}));
    testing::internal::GetCapturedStdout();
}

TEST(FeatureFileReading, AnEmptyFileHoldsNoNumberAndAMissingOneCannotBeRead) {
    ScratchDirectory scratch;
    bool opened = false;
    EXPECT_TRUE(readBack("", &opened).empty());
    EXPECT_TRUE(opened);
    std::vector<float> values;
    EXPECT_FALSE(readFeatureFile("feature2.txt", values));
}

}  // namespace
