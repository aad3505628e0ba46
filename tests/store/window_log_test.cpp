#include "store/window_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "pipeline/start_up_recovery.h"
#include "store/save_recording_window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text.h"

namespace {

TEST(WindowLog, ALogMustAccountForEveryByteOfItsRawFileInOrder) {
    EXPECT_EQ(parseWindowLog("0 100 255 5\n100 50 15 9\n", 150)->size(), 2u);
    EXPECT_EQ(parseWindowLog("", 0)->size(), 0u);
    EXPECT_FALSE(parseWindowLog("0 100 255 5\n", 150));                // bytes unaccounted for
    EXPECT_FALSE(parseWindowLog("0 100 255 5\n90 60 255 9\n", 150));   // overlap
    EXPECT_FALSE(parseWindowLog("0 100 255 5\n120 30 255 9\n", 150));  // gap
    EXPECT_FALSE(parseWindowLog("0 200 255 5\n", 150));                // past the end
    EXPECT_FALSE(parseWindowLog("0 150 256 5\n", 150));                // no such mask
    EXPECT_FALSE(parseWindowLog("0 150 255 5", 150));                  // line not ended
    EXPECT_FALSE(parseWindowLog("0 150 255 5 7\n", 150));              // extra field
    EXPECT_FALSE(parseWindowLog("0 18446744073709551615 255 5\n0 1 255 5\n", 150));
}

TEST(WindowLog, SavedWindowsAreLoggedAndAFileMadeWithoutALogStaysUnknown) {
    ScopedWorkingDirectory scratch;
    const std::vector<std::uint8_t> window(1600, 7);
    ASSERT_TRUE(saveRecordingWindow(3, 0xFF, window.data(), window.size()));
    ASSERT_TRUE(saveRecordingWindow(3, 0xFF, window.data(), 800));
    const auto windows = readWindowLog(3, 2400);
    ASSERT_TRUE(windows);
    ASSERT_EQ(windows->size(), 2u);
    EXPECT_EQ((*windows)[1].firstByte, 1600u);
    EXPECT_EQ((*windows)[1].bytes, 800u);
    EXPECT_GT((*windows)[1].endTime, 1600000000);

    // Bytes recorded before windows were logged.
    writeBytes("raw5.bin", std::vector<std::uint8_t>(640, 1));
    ASSERT_TRUE(saveRecordingWindow(5, 0xFF, window.data(), window.size()));
    EXPECT_FALSE(readWindowLog(5, 640 + 1600));
    EXPECT_FALSE(fileExists("raw5.windows"));
    // A raw file that grew behind the log's back.
    writeBytes("raw3.bin", std::vector<std::uint8_t>(2500, 1));
    EXPECT_FALSE(readWindowLog(3, 2500));
}

TEST(WindowLog, AWindowThatCannotBeSavedLogsTheOperationTheFileAndTheReason) {
    ScopedWorkingDirectory scratch;
    const std::vector<std::uint8_t> window(160, 7);
    std::filesystem::create_directory("raw6.bin");
    std::string log =
        logOf([&] { EXPECT_FALSE(saveRecordingWindow(6, 0x0F, window.data(), 160)); });
    EXPECT_TRUE(contains(log, "raw_file_name open error.")) << log;
    EXPECT_TRUE(contains(log,
                         "appendToRawFile, raw6.bin cannot be opened to append to: Is a "
                         "directory"))
        << log;

    ASSERT_TRUE(saveRecordingWindow(7, 0x0F, window.data(), 160));
    std::filesystem::create_directory("raw7.windows.tmp");
    log = logOf([&] { EXPECT_FALSE(saveRecordingWindow(7, 0x0F, window.data(), 160)); });
    EXPECT_TRUE(contains(log,
                         "raw7.windows could not be written: cannot create "
                         "raw7.windows.tmp: Is a directory"))
        << log;
    EXPECT_EQ(readFile("raw7.bin").size(), 160u) << "the bytes without their log line go";
}

TEST(WindowLog, AStartAfterAKillCutsAnUnfinishedAppendAndRemovesWhatTheRunLeft) {
    ScopedWorkingDirectory scratch;
    const std::vector<std::uint8_t> window(1600, 7);
    ASSERT_TRUE(saveRecordingWindow(2, 0xFF, window.data(), window.size()));
    // The bytes of a second window reached the raw file, its log line never did.
    std::vector<std::uint8_t> torn(1600 + 700, 7);
    writeBytes("raw2.bin", torn);
    writeBytes("raw4.bin", std::vector<std::uint8_t>(900, 1));  // never logged: left alone
    for (const char* leftover : {"W&B.txt.tmp", "model.bin.tmp", "recogniser.txt.tmp",
                                 "raw2.windows.tmp", "feature1.txt"}) {
        writeFile(leftover, "part");
    }
    writeFile("W&B.txt", "kept");
    writeFile("recogniser.txt", "kept");
    writeFile("notes.tmp", "not ours");
    // Window deletes killed after the new raw file took its place (gesture 6)
    // and before it did (gesture 7).
    writeBytes("raw6.bin", std::vector<std::uint8_t>(800, 6));
    writeFile("raw6.windows", "0 1600 255 5\n1600 800 255 9\n");
    writeFile("raw6.windows.new", "0 800 255 9\n");
    writeBytes("raw7.bin", std::vector<std::uint8_t>(900, 7));
    writeFile("raw7.windows", "0 900 255 5\n");
    writeBytes("raw7.bin.new", {});
    writeFile("raw7.windows.new", "");

    recoverWorkingDirectory();
    EXPECT_EQ(readWindowLog(6, 800)->size(), 1u);
    EXPECT_EQ(readWindowLog(7, 900)->size(), 1u);
    for (const char* gone : {"raw6.windows.new", "raw7.bin.new", "raw7.windows.new"}) {
        EXPECT_FALSE(fileExists(gone)) << gone;
    }
    EXPECT_EQ(std::filesystem::file_size("raw2.bin"), 1600u);
    ASSERT_TRUE(readWindowLog(2, 1600));
    EXPECT_EQ(std::filesystem::file_size("raw4.bin"), 900u);
    for (const char* leftover : {"W&B.txt.tmp", "model.bin.tmp", "recogniser.txt.tmp",
                                 "raw2.windows.tmp", "feature1.txt"}) {
        EXPECT_FALSE(fileExists(leftover)) << leftover;
    }
    EXPECT_EQ(readFile("W&B.txt"), "kept");
    EXPECT_EQ(readFile("recogniser.txt"), "kept");
    EXPECT_TRUE(fileExists("notes.tmp"));
}

}  // namespace
