// Live agreement: how much of each hold and rest the server's last report named
// what the wearer did.
#include "tools/quillonctl/agreement.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;

WearerPhase hold(std::uint8_t gesture, std::chrono::milliseconds begin,
                 std::chrono::milliseconds end) {
    return WearerPhase{gesture, begin, end};
}

WearerPhase rest(std::chrono::milliseconds begin, std::chrono::milliseconds end) {
    return WearerPhase{kNoGesture, begin, end};
}

TEST(Agreement, AHoldNamedThroughoutAgreesFully) {
    const Agreement agreement = measureAgreement({hold(2, 1000ms, 7000ms)}, {{500ms, 2}});
    ASSERT_EQ(agreement.holds.size(), 1u);
    EXPECT_EQ(agreement.holds[0].gesture, 2);
    EXPECT_EQ(agreement.holds[0].total, 6000ms);
    EXPECT_EQ(agreement.holds[0].agreed, 6000ms);
    EXPECT_FLOAT_EQ(agreement.holds[0].percent(), 100.0f);
}

TEST(Agreement, TheTimeBeforeTheReportCameCountsAgainstTheHold) {
    const Agreement agreement = measureAgreement({hold(1, 0ms, 6000ms)}, {{600ms, 1}});
    EXPECT_EQ(agreement.holds[0].agreed, 5400ms);
    EXPECT_FLOAT_EQ(agreement.holds[0].percent(), 90.0f);
}

TEST(Agreement, ReportsOfAnotherGestureOrOfNoneDisagree) {
    const Agreement agreement = measureAgreement(
        {hold(1, 0ms, 6000ms)}, {{1000ms, 1}, {2000ms, 3}, {4000ms, kNoGesture}, {5000ms, 1}});
    // Gesture 1 is named over [1 s, 2 s) and [5 s, 6 s).
    EXPECT_EQ(agreement.holds[0].agreed, 2000ms);
}

TEST(Agreement, TheLastReportBeforeAPhaseCarriesIntoIt) {
    const Agreement agreement = measureAgreement({hold(3, 2000ms, 8000ms), rest(8000ms, 11000ms)},
                                                 {{1000ms, 3}, {8300ms, kNoGesture}});
    EXPECT_EQ(agreement.holds[0].agreed, 6000ms);
    EXPECT_EQ(agreement.rest.total, 3000ms);
    EXPECT_EQ(agreement.rest.agreed, 2700ms);
}

TEST(Agreement, BeforeTheFirstReportNoGestureIsNamed) {
    const Agreement agreement = measureAgreement({rest(0ms, 3000ms), hold(1, 3000ms, 9000ms)}, {});
    EXPECT_EQ(agreement.rest.agreed, 3000ms);
    EXPECT_EQ(agreement.holds[0].agreed, 0ms);
    EXPECT_FLOAT_EQ(agreement.holds[0].percent(), 0.0f);
}

TEST(Agreement, AReportTakesEffectAtItsOwnMomentExactly) {
    // A report at a phase's first moment counts from there; one at its end
    // belongs to what comes next.
    const Agreement agreement = measureAgreement({hold(1, 1000ms, 2000ms), hold(2, 2000ms, 3000ms)},
                                                 {{1000ms, 1}, {2000ms, 2}, {3000ms, 1}});
    EXPECT_EQ(agreement.holds[0].agreed, 1000ms);
    EXPECT_EQ(agreement.holds[1].agreed, 1000ms);
}

TEST(Agreement, HoldsOfOneGestureAddUpAndAreListedInTheOrderFirstHeld) {
    const Agreement agreement =
        measureAgreement({hold(3, 0ms, 1000ms), hold(1, 1000ms, 2000ms), hold(3, 2000ms, 4000ms)},
                         {{0ms, 3}, {1500ms, 1}, {2500ms, 3}});
    ASSERT_EQ(agreement.holds.size(), 2u);
    EXPECT_EQ(agreement.holds[0].gesture, 3);
    EXPECT_EQ(agreement.holds[0].total, 3000ms);
    EXPECT_EQ(agreement.holds[0].agreed, 2500ms);
    EXPECT_EQ(agreement.holds[1].gesture, 1);
    EXPECT_EQ(agreement.holds[1].agreed, 500ms);
}

TEST(Agreement, OverallCoversHoldsAndRestsButNotTheGapsBetweenThem) {
    // The gap [6 s, 10 s) is not measured, whatever was reported in it.
    const Agreement agreement =
        measureAgreement({hold(1, 0ms, 6000ms), rest(10000ms, 14000ms)},
                         {{0ms, 1}, {7000ms, 2}, {9000ms, kNoGesture}, {12000ms, 1}});
    EXPECT_EQ(agreement.overall.total, 10000ms);
    EXPECT_EQ(agreement.overall.agreed, 6000ms + 2000ms);
    EXPECT_FLOAT_EQ(agreement.overall.percent(), 80.0f);
}

TEST(Agreement, ReportsAreTakenInTheOrderOfTheirTimes) {
    const Agreement agreement =
        measureAgreement({hold(2, 0ms, 4000ms)}, {{3000ms, kNoGesture}, {1000ms, 2}});
    EXPECT_EQ(agreement.holds[0].agreed, 2000ms);
}

TEST(Agreement, PhasesWithoutLengthCountForNothing) {
    const Agreement agreement =
        measureAgreement({hold(1, 5000ms, 5000ms), rest(3000ms, 2000ms)}, {{0ms, 1}});
    EXPECT_TRUE(agreement.holds.empty());
    EXPECT_EQ(agreement.rest.total, 0ms);
    EXPECT_EQ(agreement.overall.total, 0ms);
    EXPECT_FLOAT_EQ(agreement.overall.percent(), 0.0f);
}

}  // namespace
