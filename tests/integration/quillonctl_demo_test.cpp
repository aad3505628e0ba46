// `quillonctl demo` end to end: the real client binary runs the whole journey
// against the real server and its simulated armband, in real time (each
// recording window lasts 30 s).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ctl_process.h"
#include "tests/support/http_exchange.h"
#include "tests/support/server_fixtures.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The overall agreement in the report, in percent; -1 when it is missing.
int overallAgreement(const std::string& report) {
    std::smatch match;
    static const std::regex overall("overall agreement: ([0-9]+) % of ");
    return std::regex_search(report, match, overall) ? std::stoi(match[1].str()) : -1;
}

// The server keeps its files in a directory of its own.
class QuillonctlDemo : public ServerWithQuillonctl {
  protected:
    QuillonctlDemo() : ServerWithQuillonctl({"--data-dir", "data"}) {}
};

TEST_F(QuillonctlDemo, RunsTheWholeJourneyAndReportsIt) {
    const CtlRun demo = runCtl(server.ctl({"demo"}), 400s);
    std::printf("%s", demo.both().c_str());
    ASSERT_EQ(demo.exitCode, 0) << demo.both() << server.log();
    EXPECT_TRUE(contains(demo.out, "step 1 of 8: connect the armband\n")) << demo.both();
    EXPECT_TRUE(contains(demo.out, "armband connected (03 00)")) << demo.both();
    EXPECT_TRUE(contains(demo.out, "step 3 of 8: record gesture 1 (Fist)")) << demo.both();
    EXPECT_TRUE(contains(demo.out, "identification mode: calibrated\n")) << demo.both();
    EXPECT_TRUE(contains(demo.out, "level |")) << demo.both();
    EXPECT_TRUE(contains(demo.out, "] 100%\n")) << demo.both();
    EXPECT_TRUE(contains(demo.out, "the wearer holds gesture 3 (WaveIn) for 6.0 s")) << demo.both();
    EXPECT_TRUE(contains(demo.out, "identification stopped (08 FD")) << demo.both();

    EXPECT_TRUE(contains(demo.out, "recordings made: 3 (raw1.bin, raw2.bin, raw3.bin)"))
        << demo.both();
    EXPECT_TRUE(contains(demo.out, "training time: ")) << demo.both();
    EXPECT_TRUE(contains(demo.out, "upload time: ")) << demo.both();
    EXPECT_TRUE(contains(demo.out, ", reached 100 %\n")) << demo.both();
    EXPECT_GE(overallAgreement(demo.out), 60) << demo.both();

    // What the report says happened, happened on the server.
    for (const char* file : {"raw1.bin", "raw2.bin", "raw3.bin", "W&B.txt", "model.bin"}) {
        EXPECT_TRUE(fileExists(server.file(std::string("data/") + file))) << file;
    }
    // The gestures carry the names the demo gave them, and the server
    // identifies as it did before the demo (exact).
    const auto names = nlohmann::json::parse(httpGet(server.port(), "/api/gestures").body, nullptr,
                                             false)["names"];
    EXPECT_EQ(names.size() >= 3 ? names[2] : nullptr, "WaveIn") << names;
    EXPECT_EQ(nlohmann::json::parse(httpGet(server.port(), "/api/settings").body, nullptr,
                                    false)["identifyMode"],
              "exact");
    EXPECT_EQ(server.countInLog("stop identify command recieved."), 1) << server.log();
    // The server is left idle: a recording can start at once.
    const CtlRun stop = runCtl(server.ctl({"stop-record"}));
    EXPECT_TRUE(contains(stop.err, "no recording was under way")) << stop.both();
}

TEST_F(QuillonctlDemo, CtrlCDuringARecordingStopsItAndNamesTheStep) {
    // An armband that is connected already is taken as it is.
    ASSERT_EQ(runCtl(server.ctl({"scan"})).exitCode, 0);
    ASSERT_EQ(runCtl(server.ctl({"connect"})).exitCode, 0);
    CtlProcess demo(server.ctl({"demo", "--gestures", "2,5"}));
    ASSERT_TRUE(demo.waitForOutput("recording gesture 2 for 30 s", 60s)) << demo.both();
    EXPECT_TRUE(contains(demo.out(), "an armband is connected already")) << demo.both();
    EXPECT_FALSE(contains(demo.out(), "scanning")) << demo.both();
    demo.interrupt();
    EXPECT_EQ(demo.wait(30s), 130) << demo.both();
    EXPECT_TRUE(contains(demo.out(), "recording stopped by Ctrl+C (06 FD)")) << demo.both();
    EXPECT_TRUE(contains(demo.err(),
                         "the demo was stopped by Ctrl+C at step 3 of 7 (record gesture 2 "
                         "(Spread) while the wearer performs it)"))
        << demo.both();
    EXPECT_FALSE(fileExists(server.file("raw2.bin")));
    // Nothing is left recording, and the wearer rests again.
    const CtlRun stop = runCtl(server.ctl({"stop-record"}));
    EXPECT_TRUE(contains(stop.err, "no recording was under way")) << stop.both();
    const CtlRun wearer = runCtl(server.ctl({"sim", "status"}));
    EXPECT_TRUE(contains(wearer.out, "\"action\":\"rest\"")) << wearer.both();
}

TEST_F(QuillonctlDemo, AFailedStepStopsTheDemoAndIsNamed) {
    ASSERT_EQ(runCtl(server.ctl({"sim", "absent"})).exitCode, 0);
    const CtlRun demo = runCtl(server.ctl({"--timeout", "2", "demo"}));
    EXPECT_EQ(demo.exitCode, 1) << demo.both();
    EXPECT_TRUE(contains(demo.err, "waited for the notification that an armband was found"))
        << demo.both();
    EXPECT_TRUE(contains(demo.err, "the demo stopped at step 1 of 8 (connect the armband)"))
        << demo.both();
    EXPECT_FALSE(contains(demo.out, "step 2 of 8")) << demo.both();
}

TEST_F(QuillonctlDemo, TheDemoNeedsTheWearerControl) {
    const CtlRun demo = runCtl(server.ctl({"--sim-port", "1", "demo"}));
    EXPECT_EQ(demo.exitCode, 1) << demo.both();
    EXPECT_TRUE(contains(demo.err,
                         "cannot reach the simulated armband's wearer control at "
                         "127.0.0.1:1"))
        << demo.both();
    EXPECT_FALSE(contains(demo.out, "step 1")) << demo.both();
}

}  // namespace
