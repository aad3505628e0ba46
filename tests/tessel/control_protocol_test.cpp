// The wearer control's text commands, given in process.
#include "sim_test_support.h"

namespace tessel::sim::testing {
namespace {

using ControlCommands = SimulatedArmband;

bool isError(const std::string& answer) {
    return answer.rfind("error: ", 0) == 0;
}

TEST_F(ControlCommands, SetWhatTheWearerDoes) {
    start();
    Controller& control = *simulation.controller;
    EXPECT_EQ(control.command("perform 1"), "ok");
    EXPECT_EQ(control.status().action, "perform 1");
    EXPECT_EQ(control.command("hold 15"), "ok");
    EXPECT_EQ(control.status().action, "hold 15");
    EXPECT_EQ(control.command("hold 0"), "ok");
    EXPECT_EQ(control.status().action, "hold 0");
    EXPECT_EQ(control.command("rest"), "ok");
    EXPECT_EQ(control.status().action, "rest");
}

TEST_F(ControlCommands, ChooseTheKindOfWearerAndTheDayUntilReset) {
    start();
    Controller& control = *simulation.controller;
    EXPECT_EQ(control.status().profile, "default");
    EXPECT_EQ(control.command("profile Tense 3"), "ok");
    EXPECT_EQ(control.status().profile, "tense");
    EXPECT_EQ(control.status().day, 3u);
    EXPECT_NE(control.command("status").find("\"profile\":\"tense\",\"day\":3"), std::string::npos);
    EXPECT_EQ(control.command("profile calm"), "ok");
    EXPECT_EQ(control.status().day, 1u);
    const std::string help = control.command("help");
    for (const char* word :
         {"profile NAME [DAY]", "default", "calm", "tense", "restless", "faint", "blended"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(control.command("reset"), "ok");
    EXPECT_EQ(control.status().profile, "default");
}

TEST_F(ControlCommands, AcceptAnyLetterCaseAndSurroundingSpace) {
    start();
    Controller& control = *simulation.controller;
    EXPECT_EQ(control.command("  PERFORM   7 \r\n"), "ok");
    EXPECT_EQ(control.status().action, "perform 7");
    EXPECT_EQ(control.command("Absent"), "ok");
    EXPECT_FALSE(control.status().present);
    EXPECT_EQ(control.command("fail STARTSCAN"), "ok");
    EXPECT_NE(simulation.hub->startScan(0xD0), 0);
}

TEST_F(ControlCommands, SwitchPresenceAndTheSettingObject) {
    start();
    Controller& control = *simulation.controller;
    EXPECT_EQ(control.command("absent"), "ok");
    EXPECT_FALSE(control.status().present);
    EXPECT_EQ(control.command("present"), "ok");
    EXPECT_TRUE(control.status().present);
    EXPECT_EQ(control.command("nosetting"), "ok");
    EXPECT_FALSE(control.status().settingAvailable);
    EXPECT_EQ(control.command("setting"), "ok");
    EXPECT_TRUE(control.status().settingAvailable);
}

TEST_F(ControlCommands, FailAndMuteCountRequestsOfTheNamedOperation) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    Controller& control = *simulation.controller;
    EXPECT_EQ(control.command("fail setEmgRawDataConfig 2"), "ok");
    EXPECT_EQ(control.command("mute queryHardwareVersion"), "ok");
    Completions configs;
    for (int i = 0; i < 3; ++i) {
        setting->setEmgRawDataConfig(650, 0x01, 16, 8, configs.result());
    }
    Completions versions;
    setting->queryHardwareVersion(versions.version());
    setting->queryHardwareVersion(versions.version());
    ASSERT_TRUE(configs.waitForCount(3));
    ASSERT_TRUE(versions.waitForCount(1));
    letDueCallbacksRun(std::chrono::milliseconds(10));
    EXPECT_EQ(configs.all()[0].result, ResponseResult::Failed);
    EXPECT_EQ(configs.all()[1].result, ResponseResult::Failed);
    EXPECT_EQ(configs.all()[2].result, ResponseResult::Success);
    ASSERT_EQ(versions.all().size(), 1u) << "the first query was muted";
    EXPECT_EQ(versions.all()[0].text, L"H3");
}

TEST_F(ControlCommands, ReportHubStatesAndDeviceStatuses) {
    start();
    Controller& control = *simulation.controller;
    EXPECT_TRUE(isError(control.command("devicestatus 4"))) << "no armband connected";
    ASSERT_TRUE(connectArmband());
    EXPECT_EQ(control.command("hubstate 3"), "ok");
    EXPECT_EQ(control.command("devicestatus 4"), "ok");
    ASSERT_TRUE(listener->waitForCount("DeviceStatusChanged", 1));
    std::vector<std::int64_t> values;
    for (const Event& event : listener->events()) {
        if (event.name == "StateChanged" || event.name == "DeviceStatusChanged") {
            values.push_back(event.value);
        }
    }
    EXPECT_EQ(values, (std::vector<std::int64_t>{3, 4}));
    ASSERT_EQ(simulation.hub->deinit(), 0);
    EXPECT_TRUE(isError(control.command("hubstate 3"))) << "no callback thread after deinit";
}

TEST_F(ControlCommands, DropTheLink) {
    start();
    ASSERT_TRUE(connectArmband());
    EXPECT_EQ(simulation.controller->command("drop"), "ok");
    ASSERT_TRUE(listener->waitForCount("DeviceDisconnected", 1));
    EXPECT_EQ(simulation.controller->command("drop"), "ok") << "nothing to drop is no error";
}

TEST_F(ControlCommands, StatusIsOneLineOfJsonAfterOk) {
    start();
    ASSERT_TRUE(connectArmband());
    configureRaw(0x81);
    switchStreams(kNotifyGesture);
    simulation.controller->perform(5);
    const std::string answer = simulation.controller->command("status");
    ASSERT_EQ(answer.rfind("ok {", 0), 0u) << answer;
    EXPECT_EQ(answer.back(), '}');
    EXPECT_EQ(answer.find('\n'), std::string::npos);
    for (const char* field :
         {"\"present\":true", "\"connectionState\":3", "\"streams\":64", "\"channelMask\":129",
          "\"action\":\"perform 5\"", "\"modelSize\":0"}) {
        EXPECT_NE(answer.find(field), std::string::npos) << field << " in " << answer;
    }
}

TEST_F(ControlCommands, SeedAndResetChangeTheSeedTheStreamStartsFrom) {
    start(fastOptions(21));
    Controller& control = *simulation.controller;
    EXPECT_EQ(control.command("seed 4294967295"), "ok");
    EXPECT_EQ(control.status().seed, 4294967295u);
    EXPECT_EQ(control.command("hold 2"), "ok");
    EXPECT_EQ(control.command("reset"), "ok");
    EXPECT_EQ(control.status().seed, 21u);
    EXPECT_EQ(control.status().action, "rest");
}

TEST_F(ControlCommands, AnswerEveryMistakeWithAnError) {
    start();
    const char* mistakes[] = {
        "",
        "   ",
        "dance",
        "perform",
        "perform 16",
        "perform -1",
        "perform 1 2",
        "hold x",
        "hold 3.0",
        "rest now",
        "fail",
        "fail connect x",
        "fail disconnect",
        "mute connect -1",
        "fail connect 1000001",
        "hubstate",
        "hubstate 2147483648",
        "devicestatus 256",
        "seed 4294967296",
        "seed -1",
        "status please",
        "reset all",
        "profile",
        "profile nobody",
        "profile calm x",
        "profile calm -2",
    };
    for (const char* mistake : mistakes) {
        const std::string answer = simulation.controller->command(mistake);
        EXPECT_TRUE(isError(answer)) << "'" << mistake << "' -> " << answer;
    }
    const Status status = simulation.controller->status();
    EXPECT_EQ(status.action, "rest") << "a refused command changes nothing";
    EXPECT_EQ(status.seed, 1u);
    EXPECT_EQ(status.profile, "default");
}

}  // namespace
}  // namespace tessel::sim::testing
