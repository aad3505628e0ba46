#include "base/log.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

std::string captureLog(int level, const char* format, const char* argument) {
    testing::internal::CaptureStdout();
    logPrint(level, kLogTag, format, argument);
    return testing::internal::GetCapturedStdout();
}

TEST(Log, LineCarriesLocalTimeLevelLetterAndTag) {
    const std::string line = captureLog(1, "%s", "uWS server started");
    const std::regex header(
        R"(^\(\d{4,}-[1-9]\d?-[1-9]\d? ([1-9]?\d):\d\d:\d\d:\d\d\d\)\[D/Quillon\]: uWS server started\n$)");
    EXPECT_TRUE(std::regex_match(line, header)) << line;
}

TEST(Log, LevelZeroWritesNothing) {
    EXPECT_EQ(captureLog(0, "%s", "hidden"), "");
    EXPECT_EQ(logPrint(0, kLogTag, "x"), 0);
}

TEST(Log, EachLevelPrintsItsLetter) {
    const char letters[] = "VDIWEF";
    for (int level = 1; level <= 5; ++level) {
        testing::internal::CaptureStdout();
        logPrint(level, "T", "m");
        const std::string line = testing::internal::GetCapturedStdout();
        EXPECT_NE(line.find(std::string("[") + letters[level] + "/T]: m"), std::string::npos);
    }
}

TEST(Log, LongMessageIsCutTo1023CharactersAndStillEndsTheLine) {
    const std::string message(3000, 'x');
    const std::string line = captureLog(1, "%s", message.c_str());
    ASSERT_EQ(line.size(), 1024u);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line[1022], 'x');
}

TEST(Log, FormatWithoutArgumentsIsPrintedUnchanged) {
    testing::internal::CaptureStdout();
    logLine("handleTimerEvents");
    const std::string line = testing::internal::GetCapturedStdout();
    EXPECT_EQ(line.substr(line.find("]: ")), "]: handleTimerEvents\n");
}

}  // namespace
