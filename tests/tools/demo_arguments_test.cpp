// The command line of `quillonctl demo`: its gestures and its help.
#include <gtest/gtest.h>

#include "tests/support/text.h"

#include <sstream>
#include <string>
#include <vector>

#include "tools/quillonctl/arguments.h"
#include "tools/quillonctl/command_table.h"

namespace {

using Gestures = std::vector<std::uint8_t>;

std::string demoErrorFor(const std::vector<std::string>& arguments) {
    Invocation invocation;
    std::string error;
    EXPECT_FALSE(parseArguments(arguments, invocation, error));
    return error;
}

Gestures gesturesOf(const std::vector<std::string>& arguments) {
    Invocation invocation;
    std::string error;
    EXPECT_TRUE(parseArguments(arguments, invocation, error)) << error;
    EXPECT_EQ(invocation.command, findCommand("demo"));
    return invocation.gestures;
}

TEST(DemoArguments, TheDemoTrainsFistSpreadAndWaveInUnlessTold) {
    EXPECT_EQ(gesturesOf({"demo"}), (Gestures{1, 2, 3}));
}

TEST(DemoArguments, GesturesAreTakenInTheOrderGivenWhereverTheOptionStands) {
    EXPECT_EQ(gesturesOf({"demo", "--gestures", "4,1"}), (Gestures{4, 1}));
    EXPECT_EQ(gesturesOf({"--gestures=8,7,6,5,4,3,2,1", "demo"}),
              (Gestures{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(gesturesOf({"--port", "9000", "demo", "--gestures=2,5,7"}), (Gestures{2, 5, 7}));
}

TEST(DemoArguments, GestureListsOutsideTwoToEightDistinctGesturesAreExplained) {
    for (const char* bad : {"1", "", "0,1", "1,9", "1,,2", "1,2,", ",1,2", " 1,2", "1;2", "1,2a",
                            "1,2,3,4,5,6,7,8,1", "1,256", "-1,2"}) {
        const std::string error = demoErrorFor({"demo", "--gestures", bad});
        EXPECT_TRUE(contains(error, "two to eight different gestures 1 to 8"))
            << bad << ": " << error;
    }
    EXPECT_TRUE(contains(demoErrorFor({"demo", "--gestures", "2,3,2"}), "(2 comes twice)"));
    EXPECT_TRUE(contains(demoErrorFor({"demo", "--gestures"}), "--gestures needs a value"));
}

TEST(DemoArguments, GesturesBelongToTheDemoOnly) {
    EXPECT_TRUE(contains(demoErrorFor({"--gestures", "1,2", "record", "1"}),
                         "--gestures belongs to `quillonctl demo` only"));
    EXPECT_TRUE(contains(demoErrorFor({"demo", "now"}), "usage: quillonctl demo"));
}

TEST(DemoArguments, IdentificationIsCalibratedUnlessAModeIsGiven) {
    Invocation identify;
    Invocation demo;
    std::string error;
    ASSERT_TRUE(parseArguments({"identify"}, identify, error)) << error;
    EXPECT_EQ(identify.identifyMode, "calibrated");
    ASSERT_TRUE(parseArguments({"demo", "--mode", "exact"}, demo, error)) << error;
    EXPECT_EQ(demo.identifyMode, "exact");
    EXPECT_TRUE(contains(demoErrorFor({"identify", "--mode=fast"}), "not exact or calibrated"));
    EXPECT_TRUE(contains(demoErrorFor({"record", "1", "--mode", "exact"}), "--mode belongs to"));
}

TEST(DemoArguments, HelpExplainsTheJourneyAndAsksForAFreshServerDirectory) {
    const CommandSpec* demo = findCommand("demo");
    ASSERT_NE(demo, nullptr);
    EXPECT_TRUE(contains(usageText(), "  demo [--gestures L] "));
    const std::string help = commandHelpText(*demo);
    EXPECT_TRUE(contains(help, "usage: quillonctl [options] demo [--gestures L]")) << help;
    EXPECT_TRUE(contains(help, "fresh directory")) << help;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 78u) << line;
    }
}

}  // namespace
