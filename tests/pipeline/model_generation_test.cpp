#include "pipeline/model_generation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "store/model_shape.h"
#include "store/recogniser_file.h"
#include "tests/support/feature_text.h"
#include "tests/support/temp_dir.h"

namespace {

using Response = std::vector<std::uint8_t>;

// Two channels: rest windows hold 120, active windows alternate around 120
// by the gesture's swings, a little larger in some windows than in others.
// A window is 0.2 s: rests and holds last more than a second. An 'h' window
// is held three quarters as strongly.
std::vector<std::uint8_t> recording(
    int swing0, int swing1,
    const std::string& pattern = "LLLLLLHHHHHLLLLLLHHHHHHLLLLLLHHHHHLLLLLL") {
    std::vector<std::uint8_t> bytes;
    for (std::size_t w = 0; w < pattern.size(); ++w) {
        const bool held = pattern[w] != 'L';
        const int grow = held ? static_cast<int>(w % 3) : 0;
        const int a = held ? swing0 + grow : 0, b = held ? swing1 + 2 * grow : 0;
        const int share = pattern[w] == 'h' ? 3 : 4;
        for (int t = 0; t < 130; ++t) {
            bytes.push_back(static_cast<std::uint8_t>(120 + (t % 2 ? a : -a) * share / 4));
            bytes.push_back(static_cast<std::uint8_t>(120 + (t % 2 ? b : -b) * share / 4));
        }
    }
    return bytes;
}

const std::vector<std::uint8_t> kFist = recording(30, 6), kSpread = recording(5, 25),
                                kPinch = recording(15, 15);
const std::string kModelBefore = "9.000000 9.000000 9.000000\n";

Response generate(std::uint8_t gestureMask, std::string* log = nullptr) {
    Response response;
    const std::string logged =
        logOf([&] { generateModelFromRecordings(gestureMask, 0x03, response); });
    if (log != nullptr) {
        *log = logged;
    }
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

TEST(ModelGeneration, RecordingsBecomeAModelAndTheFeatureFilesAreRemoved) {
    ScopedWorkingDirectory scratch;
    writeBytes("raw1.bin", kFist);
    writeBytes("raw2.bin", kSpread);
    writeBytes("raw3.bin", kPinch);
    std::string log;
    EXPECT_EQ(generate(0x07, &log), Response{0x00});
    EXPECT_NE(log.find("start generate model ...."), std::string::npos) << log;
    ModelShape shape;
    std::string shapeProblem;
    ASSERT_TRUE(checkModelFile(shape, shapeProblem)) << shapeProblem;
    EXPECT_EQ(shape.rows, 3);
    EXPECT_EQ(shape.valuesPerRow, 3);
    EXPECT_FALSE(anyFeatureFile());
    EXPECT_TRUE(fileExists("raw1.bin"));
    RecogniserFile recogniser;
    std::string problem;
    EXPECT_EQ(readRecogniserFile(readFile("W&B.txt"), 2, 0x07, recogniser, problem),
              RecogniserRead::read)
        << problem << log;
}

TEST(ModelGeneration, RecordingsWithoutRestTrainTheModelButNoRecogniser) {
    ScopedWorkingDirectory scratch;
    writeFile("recogniser.txt", "of an earlier model");
    const std::string held = "hhhhhhHHHHHHhhhhhhHHHHHHhhhhhhHHHHHHhhhh";
    writeBytes("raw1.bin", recording(30, 6, held));
    writeBytes("raw2.bin", recording(5, 25, held));
    std::string log;
    EXPECT_EQ(generate(0x03, &log), Response{0x00});
    EXPECT_NE(log.find("WARNING: no recording holds rest"), std::string::npos) << log;
    EXPECT_FALSE(fileExists("recogniser.txt")) << "it never outlives its model";
}

// The model trained from gestures 1 and 2 holding these recordings.
std::string modelOfTwo(const std::vector<std::uint8_t>& first,
                       const std::vector<std::uint8_t>& second) {
    ScopedWorkingDirectory scratch;
    writeBytes("raw1.bin", first);
    writeBytes("raw2.bin", second);
    EXPECT_EQ(generate(0x03), Response{0x00});
    return readFile("W&B.txt");
}

TEST(ModelGeneration, SelectedGesturesAreRenumberedInMaskOrder) {
    const std::string expected = modelOfTwo(kSpread, kPinch);
    ScopedWorkingDirectory scratch;
    writeBytes("raw1.bin", kFist);  // not selected
    writeBytes("raw2.bin", kSpread);
    writeBytes("raw4.bin", kPinch);
    ASSERT_EQ(generate(0x0A), Response{0x00});
    EXPECT_EQ(readFile("W&B.txt"), expected);
    EXPECT_NE(modelOfTwo(kPinch, kSpread), expected) << "the order of the pair matters";
}

TEST(ModelGeneration, FeatureFilesLeftByAFailedRunAreNotTrainedOn) {
    const std::string clean = modelOfTwo(kFist, kSpread);
    ScopedWorkingDirectory scratch;
    writeBytes("raw1.bin", kFist);
    writeBytes("raw2.bin", kSpread);
    writeFile("feature1.txt", "1.000000 1.000000 2.000000 2.000000 ");
    writeFile("feature2.txt", "90.000000 90.000000 ");
    writeFile("feature5.txt", "3.000000 3.000000 ");
    ASSERT_EQ(generate(0x03), Response{0x00});
    EXPECT_EQ(readFile("W&B.txt"), clean);
    EXPECT_FALSE(anyFeatureFile());
}

TEST(ModelGenerationFailure, AMissingRawFileAnswersFailedThenTheLaterStatus) {
    ScopedWorkingDirectory scratch;
    writeFile("W&B.txt", kModelBefore);
    writeBytes("raw3.bin", kPinch);
    std::string log;
    EXPECT_EQ(generate(0x06, &log), (Response{0xFF, 0xEE}));
    EXPECT_NE(log.find("raw_file_name open error."), std::string::npos) << log;
    EXPECT_NE(log.find("generateModel, gesture 2 has no recording (reading raw2.bin failed: No "
                       "such file or directory)"),
              std::string::npos)
        << log;
    EXPECT_FALSE(fileExists("feature3.txt")) << "gestures after the missing one are skipped";
    std::filesystem::create_directory("raw2.bin");  // one that cannot be read counts as missing
    EXPECT_EQ(generate(0x06, &log), (Response{0xFF, 0xEE}));
    EXPECT_NE(log.find("(reading raw2.bin failed: Is a directory)"), std::string::npos) << log;
    EXPECT_EQ(readFile("W&B.txt"), kModelBefore);
}

TEST(ModelGenerationFailure, FewerThanTwoGesturesOrOneWithoutActivityAnswerFailed) {
    ScopedWorkingDirectory scratch;
    writeFile("W&B.txt", kModelBefore);
    writeFile("recogniser.txt", "beside the model before");
    writeBytes("raw1.bin", kFist);
    writeBytes("raw2.bin", recording(30, 6, std::string(30, 'L')));
    writeBytes("raw3.bin", kPinch);
    EXPECT_EQ(generate(0x04), Response{0xFF});
    EXPECT_EQ(generate(0x00), Response{0xFF});
    std::string log;
    EXPECT_EQ(generate(0x07, &log), Response{0xFF});
    EXPECT_NE(log.find("gesture position 2 had no active windows"), std::string::npos) << log;
    EXPECT_EQ(readFile("W&B.txt"), kModelBefore);
    EXPECT_EQ(readFile("recogniser.txt"), "beside the model before");
}

}  // namespace
