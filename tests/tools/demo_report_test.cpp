// The report at the end of `quillonctl demo`.
#include "tools/quillonctl/demo_report.h"

#include <gtest/gtest.h>

#include "tests/support/text.h"

#include <string>

namespace {

using namespace std::chrono_literals;

DemoResults threeGestures() {
    DemoResults results;
    results.recordings = {{1, 19456, 8}, {2, 19520, 8}, {3, 19488, 8}};
    results.trainingTime = 1234ms;
    results.uploadTime = 1050ms;
    results.uploadPercentage = 100;
    results.agreement =
        measureAgreement({{1, 0ms, 6000ms}, {kNoGesture, 6000ms, 9000ms}, {2, 9000ms, 15000ms}},
                         {{600ms, 1}, {6300ms, kNoGesture}, {9900ms, 2}, {14000ms, 3}});
    return results;
}

TEST(DemoReport, NamesTheRecordingsTheirFilesAndTheirBytes) {
    const std::string report = demoReport(threeGestures());
    EXPECT_TRUE(contains(report,
                         "recordings made: 3 (raw1.bin, raw2.bin, raw3.bin), about 467712 bytes "
                         "of EMG in all\n"))
        << report;
}

TEST(DemoReport, GivesTheFramesOfEachGestureAndSaysWhereTheyWereCounted) {
    const std::string report = demoReport(threeGestures());
    EXPECT_TRUE(contains(report, "counted by this client from the preview frames")) << report;
    EXPECT_TRUE(contains(report, "    gesture 1 (Fist): 19456 frames of 8 channels\n")) << report;
    EXPECT_TRUE(contains(report, "    gesture 2 (Spread): 19520 frames of 8 channels\n")) << report;
    EXPECT_TRUE(contains(report, "    gesture 3 (WaveIn): 19488 frames of 8 channels\n")) << report;
}

TEST(DemoReport, GivesTheTrainingAndUploadTimes) {
    const std::string report = demoReport(threeGestures());
    EXPECT_TRUE(contains(report, "training time: 1234 ms (GENERATE_MODEL round trip)\n")) << report;
    EXPECT_TRUE(contains(report, "upload time: 1050 ms, reached 100 %\n")) << report;
    DemoResults silent = threeGestures();
    silent.uploadPercentage = -1;
    EXPECT_TRUE(contains(demoReport(silent), "reached no progress report")) << demoReport(silent);
}

TEST(DemoReport, GivesTheAgreementOfEachHoldOfTheRestsAndOverall) {
    const std::string report = demoReport(threeGestures());
    // Gesture 1: 5.4 of 6 s; gesture 2: 4.1 of 6 s; rest: 2.7 of 3 s; 12.2 of 15 s in all.
    EXPECT_TRUE(contains(report, "    gesture 1 (Fist) held 6.0 s: reported for 90 % of it\n"))
        << report;
    EXPECT_TRUE(contains(report, "    gesture 2 (Spread) held 6.0 s: reported for 68 % of it\n"))
        << report;
    EXPECT_TRUE(contains(report, "    rest 3.0 s: no gesture reported for 90 % of it\n")) << report;
    EXPECT_TRUE(contains(report, "    overall agreement: 81 % of 15.0 s\n")) << report;
}

TEST(DemoReport, SaysSoWhenNothingWasMeasured) {
    const std::string report = demoReport(DemoResults{});
    EXPECT_TRUE(contains(report, "recordings made: 0\n")) << report;
    EXPECT_TRUE(contains(report, "overall agreement: nothing was measured\n")) << report;
    EXPECT_FALSE(contains(report, "rest ")) << report;
}

TEST(DemoReport, NamesEachGestureAfterWhatTheWearerMakes) {
    EXPECT_EQ(demoGestureName(1), "gesture 1 (Fist)");
    EXPECT_EQ(demoGestureName(3), "gesture 3 (WaveIn)");
    EXPECT_EQ(demoGestureName(8), "gesture 8 (UserDefine2)");
}

}  // namespace
