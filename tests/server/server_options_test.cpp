// The server's --identify-mode option.
#include "server/server_options.h"

#include <gtest/gtest.h>

namespace {

TEST(ServerOptions, IdentifyModeIsExactUnlessCalibratedIsAskedFor) {
    ServerOptions options;
    std::string error;
    ASSERT_EQ(parseServerOptions({}, options, error), OptionsOutcome::Run);
    EXPECT_EQ(options.identifyMode, IdentifyMode::exact);
    ASSERT_EQ(parseServerOptions({"--identify-mode", "calibrated"}, options, error),
              OptionsOutcome::Run);
    EXPECT_EQ(options.identifyMode, IdentifyMode::calibrated);
    ASSERT_EQ(parseServerOptions({"--identify-mode=exact"}, options, error), OptionsOutcome::Run);
    EXPECT_EQ(options.identifyMode, IdentifyMode::exact);
    for (const char* bad : {"Calibrated", "", "fast"}) {
        EXPECT_EQ(parseServerOptions({"--identify-mode", bad}, options, error),
                  OptionsOutcome::Invalid);
        EXPECT_NE(error.find("exact or calibrated"), std::string::npos) << error;
    }
    EXPECT_EQ(parseServerOptions({"--identify-mode"}, options, error), OptionsOutcome::Invalid);
    EXPECT_NE(serverUsage().find("--identify-mode"), std::string::npos);
    ASSERT_EQ(parseServerOptions({"--data-dir", "/tmp/q"}, options, error), OptionsOutcome::Run);
    EXPECT_EQ(options.dataDir, "/tmp/q");
    EXPECT_EQ(parseServerOptions({"--data-dir="}, options, error), OptionsOutcome::Invalid);
}

}  // namespace
