#include "training/feature_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/training/scratch_directory.h"

namespace {

std::vector<float> readBack(const std::string& text, std::string* log = nullptr) {
    writeText("feature1.txt", text);
    std::vector<float> values;
    const std::string logged = logOf([&] { EXPECT_TRUE(readFeatureFile("feature1.txt", values)); });
    if (log != nullptr) {
        *log = logged;
    }
    return values;
}

TEST(FeatureFileReading, NumbersAreReadInOrderStraightToFloat) {
    ScratchDirectory scratch;
    // Just above the midpoint between 1 and the next float: through double it
    // would land on the midpoint and round down to 1.
    const char* nearMidpoint = "1.0000000596046448";
    ASSERT_NE(static_cast<float>(std::strtod(nearMidpoint, nullptr)),
              std::strtof(nearMidpoint, nullptr));
    EXPECT_EQ(readBack(std::string("1.500000 -2.250000\n3.000000\t\t") + nearMidpoint + " \r\n"),
              (std::vector<float>{1.5f, -2.25f, 3.0f, std::strtof(nearMidpoint, nullptr)}));
    EXPECT_TRUE(readBack("").empty());
    std::vector<float> values;
    EXPECT_FALSE(readFeatureFile("missing.txt", values));
}

TEST(FeatureFileReading, ATokenThatIsNotAFiniteNumberEndsTheReadingWithALogLine) {
    ScratchDirectory scratch;
    std::string log;
    EXPECT_EQ(readBack("3.000000 2.000000 abc 100.000000 ", &log),
              (std::vector<float>{3.0f, 2.0f}));
    EXPECT_NE(log.find("feature1.txt"), std::string::npos) << log;
    for (const char* token : {"nan", "-inf", "1e39"}) {
        EXPECT_EQ(readBack(std::string("1.000000 ") + token + " 2.000000 "),
                  std::vector<float>{1.0f});
    }
    EXPECT_EQ(readBack(std::string("1.000000 \0 2.000000 ", 20)), std::vector<float>{1.0f});
}

}  // namespace
