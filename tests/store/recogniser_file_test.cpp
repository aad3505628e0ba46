// "recogniser.txt": kept exactly, refused whole when malformed, and used only
// beside the "W&B.txt" it was trained with.
#include "store/recogniser_file.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

RecogniserFile twoChannelsThreeGestures() {
    RecogniserFile file;
    file.gestureMask = 0x16;
    file.modelChecksum = modelChecksum("1.000000 2.000000 3.000000\n");
    file.model.channels = 2;
    file.model.gestures = 3;
    file.model.restLevel = -0.123456789f;
    file.model.lda.classes = 4;
    file.model.lda.dimension = recogniserDimension(2);
    file.model.lda.offsets = {1.0f / 3.0f, -2e-7f, 12345.678f, 0.0f};
    for (std::size_t i = 0; i < 4 * file.model.lda.dimension; ++i) {
        file.model.lda.weights.push_back(static_cast<float>(i) / 7.0f - 2.0f);
    }
    return file;
}

TEST(RecogniserFile, KeepsEveryNumberExactlyAndRefusesAMalformedFileWhole) {
    const RecogniserFile written = twoChannelsThreeGestures();
    const std::string text = recogniserText(written);
    RecogniserFile read;
    std::string problem;
    ASSERT_TRUE(parseRecogniser(text, read, problem)) << problem;
    EXPECT_EQ(read.gestureMask, written.gestureMask);
    EXPECT_EQ(read.modelChecksum, written.modelChecksum);
    EXPECT_EQ(read.model.channels, 2u);
    EXPECT_EQ(read.model.gestures, 3u);
    EXPECT_EQ(read.model.restLevel, written.model.restLevel);
    EXPECT_EQ(read.model.lda.offsets, written.model.lda.offsets);
    EXPECT_EQ(read.model.lda.weights, written.model.lda.weights);

    const std::size_t lastClass = text.rfind("class 3");
    for (const std::string& bad :
         {std::string(""), text.substr(0, lastClass), text + "class 4 1\n",
          "recogniser 2" + text.substr(12),
          text.substr(0, text.find("features")) + "features 9" +
              text.substr(text.find('\n', text.find("features"))),
          text.substr(0, lastClass) + "class 3 nan" + text.substr(text.find(' ', lastClass + 8)),
          std::string(text).replace(text.find("gestures 0x16"), 13, "gestures 0x01")}) {
        RecogniserFile untouched = written;
        EXPECT_FALSE(parseRecogniser(bad, untouched, problem)) << bad;
        EXPECT_FALSE(problem.empty());
        EXPECT_EQ(untouched.model.lda.weights, written.model.lda.weights);
    }
}

TEST(RecogniserFile, IsReadOnlyBesideItsOwnModelChannelsAndGestures) {
    ScopedWorkingDirectory scratch;
    const std::string model = "1.000000 2.000000 3.000000\n";
    RecogniserFile read;
    std::string problem;
    EXPECT_EQ(readRecogniserFile(model, 2, 0x16, read, problem), RecogniserRead::missing);
    ASSERT_TRUE(writeRecogniserFile(twoChannelsThreeGestures()));
    EXPECT_FALSE(fileExists("recogniser.txt.tmp"));
    EXPECT_EQ(readRecogniserFile(model, 2, 0x16, read, problem), RecogniserRead::read) << problem;
    EXPECT_EQ(read.model.gestures, 3u);
    EXPECT_EQ(readRecogniserFile("1.000000 2.000000 3.000001\n", 2, 0x16, read, problem),
              RecogniserRead::refused);
    EXPECT_NE(problem.find("another training"), std::string::npos) << problem;
    EXPECT_EQ(readRecogniserFile(model, 3, 0x16, read, problem), RecogniserRead::refused);
    EXPECT_EQ(readRecogniserFile(model, 2, 0x17, read, problem), RecogniserRead::refused);
    EXPECT_NE(problem.find("other channels or gestures"), std::string::npos) << problem;
}

}  // namespace
