// The command line of quillonctl: options, commands, their arguments and the
// errors a user sees.
#include "tools/quillonctl/arguments.h"

#include <gtest/gtest.h>

#include "tests/support/text.h"

#include <string>
#include <vector>

#include "tools/quillonctl/command_table.h"

namespace {

using namespace std::chrono_literals;

Invocation parsed(const std::vector<std::string>& arguments) {
    Invocation invocation;
    std::string error;
    EXPECT_TRUE(parseArguments(arguments, invocation, error)) << error;
    return invocation;
}

std::string errorFor(const std::vector<std::string>& arguments) {
    Invocation invocation;
    std::string error;
    EXPECT_FALSE(parseArguments(arguments, invocation, error));
    EXPECT_FALSE(error.empty());
    return error;
}

TEST(Arguments, DefaultsReachTheLocalServer) {
    const Invocation invocation = parsed({"ping"});
    EXPECT_EQ(invocation.command->id, CommandId::Ping);
    EXPECT_EQ(invocation.host, "127.0.0.1");
    EXPECT_EQ(invocation.port, 8888);
    EXPECT_EQ(invocation.simPort, 8889);
    EXPECT_FALSE(invocation.timeout.has_value());
}

TEST(Arguments, GlobalOptionsTakeTheirValueApartOrAfterAnEqualsSign) {
    const Invocation apart = parsed({"--host", "localhost", "--port", "9000", "version"});
    EXPECT_EQ(apart.host, "localhost");
    EXPECT_EQ(apart.port, 9000);
    const Invocation joined = parsed({"--port=9001", "--sim-port=9002", "--timeout=2.5", "ping"});
    EXPECT_EQ(joined.port, 9001);
    EXPECT_EQ(joined.simPort, 9002);
    EXPECT_EQ(joined.waitLimit(), 2500ms);
    // Options after the command count too.
    EXPECT_EQ(parsed({"ping", "--timeout", "1"}).waitLimit(), 1000ms);
}

TEST(Arguments, EachCommandWaitsItsOwnTimeUnlessTold) {
    EXPECT_EQ(parsed({"scan"}).waitLimit(), 10s);
    EXPECT_EQ(parsed({"record", "1"}).waitLimit(), 45s);
    EXPECT_EQ(parsed({"generate"}).waitLimit(), 120s);
    EXPECT_EQ(parsed({"upload"}).waitLimit(), 60s);
    EXPECT_EQ(parsed({"--timeout", "3", "generate"}).waitLimit(), 3s);
}

TEST(Arguments, BadOptionValuesAreExplained) {
    EXPECT_TRUE(contains(errorFor({"--port", "0", "ping"}), "not a port from 1 to 65535"));
    EXPECT_TRUE(contains(errorFor({"--port", "65536", "ping"}), "not a port"));
    EXPECT_TRUE(contains(errorFor({"--port", "88x", "ping"}), "'88x'"));
    EXPECT_TRUE(contains(errorFor({"--sim-port=-1", "sim", "status"}), "--sim-port"));
    EXPECT_TRUE(contains(errorFor({"--timeout", "0", "ping"}), "--timeout"));
    EXPECT_TRUE(contains(errorFor({"--timeout", "-2", "ping"}), "--timeout"));
    EXPECT_TRUE(contains(errorFor({"--timeout", "nan", "ping"}), "--timeout"));
    EXPECT_TRUE(contains(errorFor({"--timeout", "5s", "ping"}), "--timeout"));
    EXPECT_TRUE(contains(errorFor({"--timeout", "1e9", "ping"}), "at most 86400"));
    EXPECT_TRUE(contains(errorFor({"--host=", "ping"}), "--host needs"));
    EXPECT_TRUE(contains(errorFor({"ping", "--port"}), "--port needs a value"));
    EXPECT_TRUE(contains(errorFor({"--colour", "ping"}), "unknown option '--colour'"));
}

TEST(Arguments, UnknownMissingAndSurplusWordsAreExplained) {
    EXPECT_TRUE(contains(errorFor({}), "no command given"));
    EXPECT_TRUE(contains(errorFor({"pong"}), "there is no command 'pong'"));
    EXPECT_TRUE(contains(errorFor({"ping", "now"}), "usage: quillonctl ping"));
    EXPECT_TRUE(contains(errorFor({"config", "0xFF"}), "usage: quillonctl config CHMASK GMASK"));
    EXPECT_TRUE(contains(errorFor({"record"}), "usage: quillonctl record G"));
    EXPECT_TRUE(contains(errorFor({"send"}), "usage: quillonctl send HEX"));
    EXPECT_TRUE(contains(errorFor({"sim"}), "usage: quillonctl sim"));
}

TEST(Arguments, MasksAreReadInHexOrDecimal) {
    const Invocation hex = parsed({"config", "0xFF", "0x07"});
    EXPECT_EQ(hex.channelMask, 0xFF);
    EXPECT_EQ(hex.gestureMask, 0x07);
    const Invocation decimal = parsed({"config", "255", "21"});
    EXPECT_EQ(decimal.channelMask, 255);
    EXPECT_EQ(decimal.gestureMask, 21);
    EXPECT_EQ(parsed({"config", "0Xa", "1"}).channelMask, 10);
}

TEST(Arguments, MasksOutOfRangeOrMisspeltAreExplained) {
    EXPECT_TRUE(contains(errorFor({"config", "256", "1"}), "the channel mask '256'"));
    EXPECT_TRUE(contains(errorFor({"config", "0x100", "1"}), "not a number from 1 to 255"));
    EXPECT_TRUE(contains(errorFor({"config", "1", "ff"}), "the gesture mask 'ff'"));
    EXPECT_TRUE(contains(errorFor({"config", "1", "ff"}), "0x07"));
    EXPECT_TRUE(contains(errorFor({"config", "-1", "1"}), "the channel mask"));
    EXPECT_TRUE(contains(errorFor({"config", "0x", "1"}), "the channel mask"));
    EXPECT_TRUE(contains(errorFor({"config", "0", "1"}), "the channel mask is 0"));
    EXPECT_TRUE(contains(errorFor({"config", "1", "0x00"}), "the gesture mask is 0"));
}

TEST(Arguments, RecordingTakesGesturesOneToEight) {
    EXPECT_EQ(parsed({"record", "1"}).gesture, 1);
    EXPECT_EQ(parsed({"record", "8"}).gesture, 8);
    for (const char* bad : {"0", "9", "255", "256", "-1", "1a", "", "0x3"}) {
        EXPECT_TRUE(contains(errorFor({"record", bad}), "gestures are 1 to 8")) << bad;
    }
}

TEST(Arguments, SendReadsItsFrameFromOneOrSeveralWords) {
    EXPECT_EQ(parsed({"send", "05 ff 07"}).frame, (std::vector<std::uint8_t>{0x05, 0xFF, 0x07}));
    EXPECT_EQ(parsed({"send", "05", "ff", "07"}).frame,
              (std::vector<std::uint8_t>{0x05, 0xFF, 0x07}));
    EXPECT_TRUE(contains(errorFor({"send", "05 zz"}), "bad hex: 'zz'"));
    EXPECT_TRUE(contains(errorFor({"send", "-x"}), "bad hex"));
}

TEST(Arguments, SimTakesEveryWordAfterItAsItsCommand) {
    EXPECT_EQ(parsed({"sim", "perform", "1"}).simCommand, "perform 1");
    EXPECT_EQ(parsed({"--sim-port", "9100", "sim", "fail", "connect", "2"}).simCommand,
              "fail connect 2");
    // After sim's first word, even option-like words belong to the command.
    EXPECT_EQ(parsed({"sim", "replay", "--port"}).simCommand, "replay --port");
}

TEST(Arguments, HelpIsReachedEveryWay) {
    EXPECT_EQ(parsed({"--help"}).command->id, CommandId::Help);
    EXPECT_EQ(parsed({"--help"}).helpTopic, nullptr);
    EXPECT_EQ(parsed({"help"}).helpTopic, nullptr);
    EXPECT_EQ(parsed({"help", "record"}).helpTopic, findCommand("record"));
    EXPECT_EQ(parsed({"record", "--help"}).helpTopic, findCommand("record"));
    EXPECT_EQ(parsed({"-h", "sim"}).helpTopic, findCommand("sim"));
    EXPECT_EQ(parsed({"sim", "--help"}).helpTopic, findCommand("sim"));
    EXPECT_TRUE(contains(errorFor({"help", "fly"}), "there is no command 'fly'"));
}

TEST(CommandTable, EveryCommandIsListedAndExplained) {
    const std::string usage = usageText();
    for (const char* name : {"help",
                             "ping",
                             "scan",
                             "connect",
                             "disconnect",
                             "version",
                             "gesture-stream",
                             "stop-gesture-stream",
                             "config",
                             "record",
                             "stop-record",
                             "generate",
                             "stop-generate",
                             "upload",
                             "stop-upload",
                             "identify",
                             "stop-identify",
                             "exit",
                             "watch",
                             "send",
                             "sim"}) {
        const CommandSpec* command = findCommand(name);
        ASSERT_NE(command, nullptr) << name;
        EXPECT_TRUE(contains(usage, std::string("  ") + name + " ")) << name;
        const std::string help = commandHelpText(*command);
        EXPECT_TRUE(contains(help, std::string("quillonctl [options] ") + name)) << name;
        EXPECT_TRUE(contains(help, command->details)) << name;
    }
    EXPECT_EQ(findCommand("Ping"), nullptr);
}

}  // namespace
