#include "store/model_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/feature_text.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

float floatAt(const Bytes& image, std::size_t offset) {
    std::uint32_t bits = 0;
    for (int b = 3; b >= 0; --b) {
        bits = bits << 8 | image[offset + static_cast<std::size_t>(b)];
    }
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// rows lines of values numbers each: 0.5, 1.5, 2.5, ...
std::string modelText(int rows, int values) {
    std::string text;
    for (int r = 0; r < rows; ++r) {
        for (int v = 0; v < values; ++v) {
            text += featureText({static_cast<float>(r * values + v) + 0.5f});
        }
        text.back() = '\n';
    }
    return text;
}

std::uint8_t prepare(std::uint8_t mask, std::uint8_t gestures, std::uint8_t channels, Bytes& image,
                     std::string* log = nullptr) {
    std::uint8_t status = 0;
    const std::string logged =
        logOf([&] { status = prepareModelImage(mask, gestures, channels, image); });
    if (log != nullptr) {
        *log = logged;
    }
    return status;
}

TEST(ModelImage, TwoChannelsAndThreeGesturesMakeA96ByteImage) {
    ScopedWorkingDirectory scratch;
    writeFile("W&B.txt", modelText(3, 3));
    Bytes image;
    ASSERT_EQ(prepare(0x05, 3, 2, image), 0x00);
    ASSERT_EQ(image.size(), 96u);
    Bytes expectedHeader(48, 0);
    expectedHeader[0] = 0x05;
    expectedHeader[1] = 3;
    expectedHeader[2] = 0x30;
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 48), expectedHeader);
    for (std::size_t v = 0; v < 9; ++v) {
        EXPECT_EQ(floatAt(image, 48 + 4 * v), static_cast<float>(v) + 0.5f) << "value " << v;
    }
    EXPECT_EQ(Bytes(image.begin() + 84, image.end()), Bytes(12, 0));
    EXPECT_EQ(readBytes("model.bin"), image);
}

TEST(ModelImage, TheWeightBlockIsRoundedUpToSixteenBytes) {
    ScopedWorkingDirectory scratch;
    Bytes image;
    writeFile("W&B.txt", modelText(28, 9));
    ASSERT_EQ(prepare(0xFF, 8, 8, image), 0x00);
    EXPECT_EQ(image.size(), 1056u);
    EXPECT_EQ(image[2] | image[3] << 8, 1008);
    EXPECT_EQ(floatAt(image, 48 + 4 * 251), 251.5f);
    EXPECT_EQ(readBytes("model.bin"), image);
    writeFile("W&B.txt", modelText(1, 4));  // already a multiple of 16
    ASSERT_EQ(prepare(0x07, 2, 3, image), 0x00);
    EXPECT_EQ(image.size(), 64u);
}

TEST(ModelImage, NumbersAreReadStraightToSinglePrecision) {
    ScopedWorkingDirectory scratch;
    writeFile("W&B.txt", "0.100000 -0.000001 1.0000000596046448\n");
    Bytes image;
    ASSERT_EQ(prepare(0x03, 2, 2, image), 0x00);
    EXPECT_EQ(floatAt(image, 48), 0.1f);
    EXPECT_EQ(floatAt(image, 52), -0.000001f);
    EXPECT_EQ(floatAt(image, 56), std::strtof("1.0000000596046448", nullptr));
}

// Each refusal leaves an earlier "model.bin" untouched and the image empty.
struct ImageRefusal {
    const char* what;
    const char* model;  // "W&B.txt", or nullptr for none
    std::uint8_t gestures;
    std::uint8_t channels;
    std::uint8_t status;
    const char* logged;
};

class ModelImageRefusal : public testing::TestWithParam<ImageRefusal> {};

TEST_P(ModelImageRefusal, LeavesTheEarlierImage) {
    ScopedWorkingDirectory scratch;
    if (GetParam().model != nullptr) {
        writeFile("W&B.txt", GetParam().model);
    }
    writeFile("model.bin", "earlier image");
    Bytes image{1, 2, 3};
    std::string log;
    EXPECT_EQ(prepare(0x0F, GetParam().gestures, GetParam().channels, image, &log),
              GetParam().status);
    EXPECT_NE(log.find(GetParam().logged), std::string::npos) << log;
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(readFile("model.bin"), "earlier image");
    EXPECT_FALSE(fileExists("model.bin.tmp"));
}

const std::string kThreeByThree = modelText(3, 3), kTooLarge = modelText(36, 10);
const char* const kDifference =
    "There is difference between W&B configuration and channle(gesture) configuration";

INSTANTIATE_TEST_SUITE_P(
    Cases, ModelImageRefusal,
    testing::Values(
        ImageRefusal{"fewer lines than pairs", kThreeByThree.c_str(), 4, 2, 0xFF, kDifference},
        ImageRefusal{"more values than channels", kThreeByThree.c_str(), 3, 1, 0xFF, kDifference},
        ImageRefusal{"no model", nullptr, 2, 2, 0xFF, "Wrong W&B file"},
        ImageRefusal{"uneven lines", "1.0 2.0\n3.0\n", 2, 2, 0xFF, "Wrong W&B file"},
        ImageRefusal{"not a number", "0.5 x 1.5\n", 2, 2, 0xFF, "Wrong W&B file"},
        ImageRefusal{"too large", kTooLarge.c_str(), 9, 9, 0xFF, "Wrong W&B file"},
        ImageRefusal{"not finite", "0.5 nan 1.5\n", 2, 2, 0xFF, "it holds nan"}));

TEST(ModelImageWrite, AnImageFileThatCannotBeWrittenIsAFileError) {
    ScopedWorkingDirectory scratch;
    writeFile("W&B.txt", modelText(1, 3));
    std::filesystem::create_directories("model.bin/inside");
    Bytes image;
    std::string log;
    EXPECT_EQ(prepare(0x03, 2, 2, image, &log), 0xEE);
    EXPECT_NE(log.find("Model file operate err"), std::string::npos) << log;
    EXPECT_NE(log.find("model.bin could not be written: cannot rename model.bin.tmp to "
                       "model.bin: Is a directory"),
              std::string::npos)
        << log;
    EXPECT_TRUE(image.empty());
    EXPECT_FALSE(fileExists("model.bin.tmp"));
    std::filesystem::remove_all("model.bin");  // and a refused update creates no image
    writeFile("W&B.txt", modelText(3, 3));
    EXPECT_EQ(prepare(0x0F, 4, 2, image), 0xFF);
    EXPECT_FALSE(fileExists("model.bin"));
}

}  // namespace
