#include "training/model_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/training/scratch_directory.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

float floatAt(const Bytes& image, std::size_t offset) {
    const std::uint32_t bits = static_cast<std::uint32_t>(image[offset]) |
                               static_cast<std::uint32_t>(image[offset + 1]) << 8 |
                               static_cast<std::uint32_t>(image[offset + 2]) << 16 |
                               static_cast<std::uint32_t>(image[offset + 3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// rows lines of values numbers each: 0.5, 1.5, 2.5, ...
std::string modelText(int rows, int values) {
    std::string text;
    char number[32];
    for (int r = 0; r < rows; ++r) {
        for (int v = 0; v < values; ++v) {
            std::snprintf(number, sizeof number, v + 1 < values ? "%f " : "%f\n",
                          (r * values + v) + 0.5);
            text += number;
        }
    }
    return text;
}

std::uint8_t prepare(std::uint8_t mask, std::uint8_t gestures, std::uint8_t channels,
                     Bytes& image) {
    testing::internal::CaptureStdout();
    const std::uint8_t status = prepareModelImage(mask, gestures, channels, image);
    testing::internal::GetCapturedStdout();
    return status;
}

TEST(ModelImage, TwoChannelsAndThreeGesturesMakeA96ByteImage) {
    ScratchDirectory scratch;
    writeText("W&B.txt", modelText(3, 3));
    Bytes image;
    ASSERT_EQ(prepare(0x05, 3, 2, image), 0x00);
    ASSERT_EQ(image.size(), 96u);
    EXPECT_EQ(image[0], 0x05);
    EXPECT_EQ(image[1], 3);
    EXPECT_EQ(image[2], 0x30);
    EXPECT_EQ(image[3], 0x00);
    for (std::size_t b = 4; b < 48; ++b) {
        EXPECT_EQ(image[b], 0) << "header byte " << b;
    }
    for (std::size_t v = 0; v < 9; ++v) {
        EXPECT_EQ(floatAt(image, 48 + 4 * v), static_cast<float>(v) + 0.5f) << "value " << v;
    }
    for (std::size_t b = 84; b < 96; ++b) {
        EXPECT_EQ(image[b], 0) << "padding byte " << b;
    }
    EXPECT_EQ(readBytes("model.bin"), image);
}

TEST(ModelImage, EightChannelsAndEightGesturesMakeA1056ByteImage) {
    ScratchDirectory scratch;
    writeText("W&B.txt", modelText(28, 9));
    Bytes image;
    ASSERT_EQ(prepare(0xFF, 8, 8, image), 0x00);
    ASSERT_EQ(image.size(), 1056u);
    EXPECT_EQ(image[2] | image[3] << 8, 1008);
    EXPECT_EQ(floatAt(image, 48 + 4 * 251), 251.5f);
    EXPECT_EQ(readBytes("model.bin"), image);
}

TEST(ModelImage, ABlockThatIsAlreadyAMultipleOf16IsNotPadded) {
    ScratchDirectory scratch;
    writeText("W&B.txt", modelText(1, 4));
    Bytes image;
    ASSERT_EQ(prepare(0x07, 2, 3, image), 0x00);
    EXPECT_EQ(image.size(), 64u);
    EXPECT_EQ(image[2], 16);
}

TEST(ModelImage, NumbersAreReadStraightToSinglePrecision) {
    ScratchDirectory scratch;
    writeText("W&B.txt", "0.100000 -0.000001 1.0000000596046448\n");
    Bytes image;
    ASSERT_EQ(prepare(0x03, 2, 2, image), 0x00);
    EXPECT_EQ(floatAt(image, 48), 0.1f);
    EXPECT_EQ(floatAt(image, 52), -0.000001f);
    EXPECT_EQ(floatAt(image, 56), std::strtof("1.0000000596046448", nullptr));
    EXPECT_GT(floatAt(image, 56), 1.0f);
}

TEST(ModelImageRefusal, AShapeThatDiffersFromTheConfigurationLeavesTheEarlierImage) {
    ScratchDirectory scratch;
    writeText("W&B.txt", modelText(3, 3));
    writeText("model.bin", "earlier image");
    Bytes image{1, 2, 3};
    testing::internal::CaptureStdout();
    EXPECT_EQ(prepareModelImage(0x0F, 4, 2, image), 0xFF);
    EXPECT_EQ(prepareModelImage(0x0F, 3, 3, image), 0xFF);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("There is difference between W&B configuration and channle(gesture) "
                       "configuration"),
              std::string::npos)
        << log;
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(readText("model.bin"), "earlier image");
}

TEST(ModelImageRefusal, ARefusedUpdateCreatesNoImageFile) {
    ScratchDirectory scratch;
    writeText("W&B.txt", modelText(3, 3));
    Bytes image;
    EXPECT_EQ(prepare(0x0F, 4, 2, image), 0xFF);
    EXPECT_FALSE(fileExists("model.bin"));
    EXPECT_FALSE(fileExists("model.bin.tmp"));
}

TEST(ModelImageRefusal, AMissingOrMalformedModelFileIsAWrongFile) {
    ScratchDirectory scratch;
    Bytes image;
    testing::internal::CaptureStdout();
    EXPECT_EQ(prepareModelImage(0x03, 2, 2, image), 0xFF);
    writeText("W&B.txt", "1.0 2.0\n3.0\n");
    EXPECT_EQ(prepareModelImage(0x03, 2, 2, image), 0xFF);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Wrong W&B file"), std::string::npos) << log;
    EXPECT_FALSE(fileExists("model.bin"));
}

TEST(ModelImageRefusal, ANumberThatCannotBeReadIsAWrongFile) {
    ScratchDirectory scratch;
    writeText("W&B.txt", "0.5 x 1.5\n");
    writeText("model.bin", "earlier image");
    Bytes image;
    testing::internal::CaptureStdout();
    EXPECT_EQ(prepareModelImage(0x03, 2, 2, image), 0xFF);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Wrong W&B file"), std::string::npos) << log;
    EXPECT_EQ(readText("model.bin"), "earlier image");
}

TEST(ModelImageRefusal, AnImageFileThatCannotBeWrittenIsAFileError) {
    ScratchDirectory scratch;
    writeText("W&B.txt", modelText(1, 3));
    std::filesystem::create_directories("model.bin/inside");
    Bytes image;
    testing::internal::CaptureStdout();
    EXPECT_EQ(prepareModelImage(0x03, 2, 2, image), 0xEE);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Model file operate err"), std::string::npos) << log;
    EXPECT_TRUE(image.empty());
    EXPECT_FALSE(fileExists("model.bin.tmp"));
}

TEST(ModelImageRefusal, AModelTooLargeForTheImageIsRefused) {
    ScratchDirectory scratch;
    writeText("W&B.txt", modelText(36, 10));  // nine gestures of nine channels
    Bytes image;
    EXPECT_EQ(prepare(0xFF, 9, 9, image), 0xFF);
    EXPECT_TRUE(image.empty());
    EXPECT_FALSE(fileExists("model.bin"));
}

}  // namespace
