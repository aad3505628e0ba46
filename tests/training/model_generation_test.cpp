#include "training/model_generation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/training/scratch_directory.h"
#include "training/model_shape.h"

namespace {

using Response = std::vector<std::uint8_t>;

// A recording of two channels: rest windows hold 120, active windows
// alternate around 120 by the gesture's swing on each channel, a little
// larger in some windows than in others.
std::vector<std::uint8_t> recording(int swing0, int swing1,
                                    const std::string& pattern = "LLHHHHHLLLLHHHHHHLLLLHHHHHLLL") {
    std::vector<std::uint8_t> bytes;
    for (std::size_t w = 0; w < pattern.size(); ++w) {
        const int grow = static_cast<int>(w % 3);
        for (int t = 0; t < 130; ++t) {
            const int sign = t % 2 == 0 ? -1 : 1;
            const bool active = pattern[w] == 'H';
            bytes.push_back(static_cast<std::uint8_t>(120 + (active ? sign * (swing0 + grow) : 0)));
            bytes.push_back(
                static_cast<std::uint8_t>(120 + (active ? sign * (swing1 + 2 * grow) : 0)));
        }
    }
    return bytes;
}

const std::vector<std::uint8_t> kFist = recording(30, 6);
const std::vector<std::uint8_t> kSpread = recording(5, 25);
const std::vector<std::uint8_t> kPinch = recording(15, 15);
const std::string kEarlierModel = "9.000000 9.000000 9.000000\n";

Response generate(std::uint8_t gestureMask) {
    Response response;
    testing::internal::CaptureStdout();
    generateModelFromRecordings(gestureMask, 2, response);
    testing::internal::GetCapturedStdout();
    return response;
}

bool anyFeatureFile() {
    for (int n = 1; n <= 8; ++n) {
        if (fileExists("feature" + std::to_string(n) + ".txt")) {
            return true;
        }
    }
    return false;
}

TEST(ModelGeneration, RecordingsOfTheSelectedGesturesBecomeAModel) {
    ScratchDirectory scratch;
    writeBytes("raw1.bin", kFist);
    writeBytes("raw2.bin", kSpread);
    writeBytes("raw3.bin", kPinch);
    newModelFlag.store(0);
    Response response;
    testing::internal::CaptureStdout();
    generateModelFromRecordings(0x07, 2, response);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(response, Response{0x00});
    EXPECT_NE(log.find("start generate model ...."), std::string::npos) << log;
    ModelShape shape;
    ASSERT_TRUE(checkModelFile(shape));
    EXPECT_EQ(shape.rows, 3);
    EXPECT_EQ(shape.valuesPerRow, 3);
    EXPECT_EQ(newModelFlag.load(), 1);
}

TEST(ModelGeneration, FeatureFilesAreRemovedAfterSuccess) {
    ScratchDirectory scratch;
    writeBytes("raw1.bin", kFist);
    writeBytes("raw2.bin", kSpread);
    ASSERT_EQ(generate(0x03), Response{0x00});
    EXPECT_FALSE(anyFeatureFile());
    EXPECT_TRUE(fileExists("raw1.bin"));
    EXPECT_TRUE(fileExists("raw2.bin"));
}

TEST(ModelGeneration, SelectedGesturesAreRenumberedInMaskOrder) {
    std::string expected;
    {
        ScratchDirectory scratch;
        writeBytes("raw1.bin", kSpread);
        writeBytes("raw2.bin", kPinch);
        ASSERT_EQ(generate(0x03), Response{0x00});
        expected = readText("W&B.txt");
    }
    ScratchDirectory scratch;
    writeBytes("raw1.bin", kFist);  // not selected
    writeBytes("raw2.bin", kSpread);
    writeBytes("raw4.bin", kPinch);
    ASSERT_EQ(generate(0x0A), Response{0x00});
    EXPECT_EQ(readText("W&B.txt"), expected);
    EXPECT_FALSE(anyFeatureFile());
}

TEST(ModelGeneration, FeatureFilesLeftByAFailedRunAreNotTrainedOn) {
    std::string clean;
    {
        ScratchDirectory scratch;
        writeBytes("raw1.bin", kFist);
        writeBytes("raw2.bin", kSpread);
        ASSERT_EQ(generate(0x03), Response{0x00});
        clean = readText("W&B.txt");
    }
    ScratchDirectory scratch;
    writeBytes("raw1.bin", kFist);
    writeBytes("raw2.bin", kSpread);
    writeText("feature1.txt", "1.000000 1.000000 2.000000 2.000000 ");
    writeText("feature2.txt", "90.000000 90.000000 ");
    writeText("feature5.txt", "3.000000 3.000000 ");
    ASSERT_EQ(generate(0x03), Response{0x00});
    EXPECT_EQ(readText("W&B.txt"), clean);
    EXPECT_FALSE(anyFeatureFile());
}

TEST(ModelGenerationFailure, AMissingRawFileAnswersFailedThenTheLaterStatus) {
    ScratchDirectory scratch;
    newModelFlag.store(0);
    writeText("W&B.txt", kEarlierModel);
    writeBytes("raw3.bin", kPinch);
    Response response;
    testing::internal::CaptureStdout();
    generateModelFromRecordings(0x06, 2, response);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(response, (Response{0xFF, 0xEE}));
    EXPECT_NE(log.find("raw_file_name open error."), std::string::npos) << log;
    EXPECT_FALSE(fileExists("feature3.txt")) << "gestures after the missing one are skipped";
    EXPECT_EQ(readText("W&B.txt"), kEarlierModel);
    EXPECT_EQ(newModelFlag.load(), 0);
}

TEST(ModelGenerationFailure, ARawFileThatCannotBeReadCountsAsMissing) {
    ScratchDirectory scratch;
    writeBytes("raw1.bin", kFist);
    std::filesystem::create_directory("raw2.bin");
    EXPECT_EQ(generate(0x03), (Response{0xFF, 0xEE}));
}

TEST(ModelGenerationFailure, FewerThanTwoGesturesAnswerFailedAndKeepTheModel) {
    ScratchDirectory scratch;
    newModelFlag.store(0);
    writeText("W&B.txt", kEarlierModel);
    writeBytes("raw3.bin", kPinch);
    EXPECT_EQ(generate(0x04), Response{0xFF});
    EXPECT_EQ(generate(0x00), Response{0xFF});
    EXPECT_EQ(readText("W&B.txt"), kEarlierModel);
    EXPECT_EQ(newModelFlag.load(), 0);
}

TEST(ModelGenerationFailure, AGestureWithoutActivityAnswersFailedAndIsNamed) {
    ScratchDirectory scratch;
    writeText("W&B.txt", kEarlierModel);
    writeBytes("raw1.bin", kFist);
    writeBytes("raw2.bin", recording(30, 6, std::string(30, 'L')));
    writeBytes("raw3.bin", kPinch);
    newModelFlag.store(0);
    Response response;
    testing::internal::CaptureStdout();
    generateModelFromRecordings(0x07, 2, response);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(response, Response{0xFF});
    EXPECT_NE(log.find("gesture position 2 had no active windows"), std::string::npos) << log;
    EXPECT_EQ(readText("W&B.txt"), kEarlierModel);
    EXPECT_EQ(newModelFlag.load(), 0);
}

TEST(ModelGenerationFailure, AFeatureFileThatCannotBeWrittenFailsTheGeneration) {
    ScratchDirectory scratch;
    writeBytes("raw1.bin", kFist);
    writeBytes("raw2.bin", kSpread);
    // A directory that removal cannot take away stands where feature2.txt goes.
    std::filesystem::create_directories("feature2.txt/inside");
    EXPECT_EQ(generate(0x03), Response{0xFF});
    EXPECT_FALSE(fileExists("W&B.txt"));
}

}  // namespace
