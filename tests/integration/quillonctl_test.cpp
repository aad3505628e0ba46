// quillonctl end to end: the real client binary against the real server with
// its simulated armband (realistic delays: a scan takes about a second).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "protocol/emg_rate.h"
#include "protocol/wire.h"
#include "tests/support/ctl_process.h"
#include "tests/support/server_fixtures.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

// A TCP port on 127.0.0.1 that nothing listens on.
std::uint16_t unusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

// Copies a golden case's raw recordings into the server's working directory.
void copyGoldenRecordings(const ServerProcess& server, const std::string& caseName,
                          const std::vector<int>& gestures) {
    for (int gesture : gestures) {
        const std::string name = "raw" + std::to_string(gesture) + ".bin";
        writeFile(server.file(name),
                  readFile(std::string(QUILLON_GOLDEN_DIR) + "/" + caseName + "/" + name));
    }
}

class Quillonctl : public ServerWithQuillonctl {
  protected:
    void connectArmband() {
        const CtlRun scan = runCtl(server.ctl({"scan"}));
        ASSERT_EQ(scan.exitCode, 0) << scan.both();
        ASSERT_TRUE(contains(scan.out, "armband found (02 00)")) << scan.both();
        const CtlRun connect = runCtl(server.ctl({"connect"}));
        ASSERT_EQ(connect.exitCode, 0) << connect.both();
        ASSERT_TRUE(contains(connect.out, "armband connected (03 00)")) << connect.both();
    }
};

TEST_F(Quillonctl, PingPrintsTheAnswerAndSucceeds) {
    const CtlRun ping = runCtl(server.ctl({"ping"}));
    EXPECT_EQ(ping.exitCode, 0) << ping.both();
    EXPECT_TRUE(contains(ping.out, "01 00  PING answered: STATUS_OK")) << ping.both();
}

TEST_F(Quillonctl, VersionWithoutAnArmbandShowsOnlyTheServersVersion) {
    const CtlRun version = runCtl(server.ctl({"version"}));
    EXPECT_EQ(version.exitCode, 0) << version.both();
    EXPECT_TRUE(contains(version.out, "000.005.002/---.---.---/---.---.---\n")) << version.both();
    EXPECT_TRUE(contains(version.out, "(no armband connected)")) << version.both();
}

TEST_F(Quillonctl, ScanAndConnectBringTheArmbandsVersionsIn) {
    connectArmband();
    const CtlRun version = runCtl(server.ctl({"version"}));
    EXPECT_EQ(version.exitCode, 0) << version.both();
    EXPECT_TRUE(contains(version.out, "000.005.002/001.004.027/003.000.000\n")) << version.both();
    const CtlRun disconnect = runCtl(server.ctl({"disconnect"}));
    EXPECT_EQ(disconnect.exitCode, 0) << disconnect.both();
    EXPECT_TRUE(contains(disconnect.out, "armband disconnected (04 00)")) << disconnect.both();
}

TEST_F(Quillonctl, RefusalsAndTimeOutsFailWithTheirReason) {
    const CtlRun connect = runCtl(server.ctl({"connect"}));
    EXPECT_EQ(connect.exitCode, 1) << connect.both();
    EXPECT_TRUE(contains(connect.err,
                         "03 F2  CONNECT_DEVICE refused: STATUS_NO_DEVICE (no armband is known"))
        << connect.both();
    // Scans find nothing while the armband is absent; the wait gives up.
    ASSERT_EQ(runCtl(server.ctl({"sim", "absent"})).exitCode, 0);
    const CtlRun scan = runCtl(server.ctl({"--timeout", "1.5", "scan"}));
    EXPECT_EQ(scan.exitCode, 1) << scan.both();
    EXPECT_TRUE(contains(scan.err,
                         "no answer within 1.5 s: waited for the notification that an "
                         "armband was found (02 00)"))
        << scan.both();
}

TEST_F(Quillonctl, ConfigPrintsTheOutcomeOfTheArmbandsConfiguration) {
    const CtlRun alone = runCtl(server.ctl({"config", "0xFF", "0x07"}));
    EXPECT_EQ(alone.exitCode, 1) << alone.both();
    EXPECT_TRUE(contains(alone.out, "channels 1 2 3 4 5 6 7 8, gestures 1 2 3")) << alone.both();
    EXPECT_TRUE(contains(alone.err, "EMG configuration failed: STATUS_NO_DEVICE")) << alone.both();
    connectArmband();
    const CtlRun config = runCtl(server.ctl({"config", "0xFF", "0x07"}));
    EXPECT_EQ(config.exitCode, 0) << config.both();
    EXPECT_TRUE(contains(config.out, "EMG configuration applied: STATUS_OK")) << config.both();
}

TEST_F(Quillonctl, GestureStreamNamesTheGesturesTheWearerMakesUntilCtrlC) {
    connectArmband();
    CtlProcess stream(server.ctl({"gesture-stream"}));
    ASSERT_TRUE(stream.waitForOutput("gesture stream started")) << stream.both();
    const CtlRun perform = runCtl(server.ctl({"sim", "perform", "1"}));
    ASSERT_EQ(perform.exitCode, 0) << perform.both();
    EXPECT_TRUE(stream.waitForOutput("] Fist\n")) << stream.both();
    // A second stream is refused while this one runs.
    const CtlRun second = runCtl(server.ctl({"gesture-stream"}));
    EXPECT_EQ(second.exitCode, 1) << second.both();
    EXPECT_TRUE(contains(second.err, "10 FC STATUS_WRONG_MODE")) << second.both();
    stream.interrupt();
    EXPECT_EQ(stream.wait(), 0) << stream.both();
    EXPECT_TRUE(contains(stream.out(), "gesture stream stopped (10 FD")) << stream.both();
    EXPECT_TRUE(server.waitForLog("APP_CLIENT_EVT: 0x11")) << server.log();
}

TEST_F(Quillonctl, StopCommandsSayWhetherThereWasAnythingToStop) {
    const CtlRun record = runCtl(server.ctl({"stop-record"}));
    EXPECT_EQ(record.exitCode, 1) << record.both();
    EXPECT_TRUE(contains(record.err, "no recording was under way (06 FF")) << record.both();
    const CtlRun stream = runCtl(server.ctl({"stop-gesture-stream"}));
    EXPECT_EQ(stream.exitCode, 1) << stream.both();
    EXPECT_TRUE(contains(stream.err, "no gesture stream was running (10 FC")) << stream.both();
}

TEST_F(Quillonctl, RecordWaitsForTheWindowAndSaysWhereTheFileWent) {
    connectArmband();
    ASSERT_EQ(runCtl(server.ctl({"config", "0xFF", "0x01"})).exitCode, 0);
    ASSERT_EQ(runCtl(server.ctl({"sim", "perform", "1"})).exitCode, 0);
    WireClient other(server.port());
    ASSERT_TRUE(other.connected()) << other.error();
    CtlProcess recording(server.ctl({"record", "1"}));
    ASSERT_TRUE(recording.waitForOutput("recording gesture 1 for 30 s")) << recording.both();
    // Another client's refusal (06 FF) and pings reach quillonctl too, as
    // plain answers: they are not its window's end.
    EXPECT_EQ(answerTo(other, {START_RECORD}, 10s), (Bytes{START_RECORD, STATUS_FAILED}));
    EXPECT_EQ(answerTo(other, {PING}, 10s), (Bytes{PING, STATUS_OK}));
    EXPECT_EQ(recording.wait(), 0) << recording.both();
    const std::string out = recording.out();
    EXPECT_TRUE(contains(out, "level |")) << recording.both();
    EXPECT_TRUE(contains(out, "raw1.bin in the server's working directory")) << recording.both();
    struct stat file {};
    ASSERT_EQ(stat(server.file("raw1.bin").c_str(), &file), 0);
    const double expected = 30.0 * kEmgFramesPerSecond * 8.0;
    EXPECT_NEAR(static_cast<double>(file.st_size), expected, expected * kSpedUpWindowShare);
}

TEST_F(Quillonctl, CtrlCDuringARecordingStopsIt) {
    connectArmband();  // without it the recording is refused at once (06 F2)
    ASSERT_EQ(runCtl(server.ctl({"config", "0xFF", "0x03"})).exitCode, 0);
    CtlProcess record(server.ctl({"record", "2"}));
    ASSERT_TRUE(record.waitForOutput("recording gesture 2 for 30 s")) << record.both();
    record.interrupt();
    EXPECT_EQ(record.wait(), 130) << record.both();
    EXPECT_TRUE(contains(record.out(), "recording stopped by Ctrl+C (06 FD)")) << record.both();
    const CtlRun again = runCtl(server.ctl({"stop-record"}));
    EXPECT_EQ(again.exitCode, 1) << again.both();
}

TEST_F(Quillonctl, GenerateAndUploadTrainTheModelAndPutItOnTheArmband) {
    copyGoldenRecordings(server, "case1", {1, 2, 5});
    connectArmband();
    ASSERT_EQ(runCtl(server.ctl({"config", "7", "0x13"})).exitCode, 0);
    const CtlRun generate = runCtl(server.ctl({"generate"}));
    EXPECT_EQ(generate.exitCode, 0) << generate.both();
    EXPECT_TRUE(contains(generate.out, "generating the model")) << generate.both();
    EXPECT_TRUE(contains(generate.out, "model trained in")) << generate.both();
    EXPECT_EQ(readFile(server.file("W&B.txt")),
              readFile(std::string(QUILLON_GOLDEN_DIR) + "/case1/expected/W&B.txt"));
    const CtlRun upload = runCtl(server.ctl({"upload"}));
    EXPECT_EQ(upload.exitCode, 0) << upload.both();
    EXPECT_TRUE(contains(upload.out, "uploading the model [")) << upload.both();
    EXPECT_TRUE(contains(upload.out, "] 100%\n")) << upload.both();
    EXPECT_TRUE(contains(upload.out, "model uploaded in")) << upload.both();
    EXPECT_EQ(readFile(server.file("model.bin")),
              readFile(std::string(QUILLON_GOLDEN_DIR) + "/case1/expected/model.bin"));
}

TEST_F(Quillonctl, GenerateWithoutTheRecordingsSaysWhatIsMissing) {
    ASSERT_EQ(runCtl(server.ctl({"config", "0xFF", "0x03"})).exitCode,
              1);  // no armband: the masks stay all the same
    const CtlRun generate = runCtl(server.ctl({"generate"}));
    EXPECT_EQ(generate.exitCode, 1) << generate.both();
    EXPECT_TRUE(contains(generate.err, "raw file could not be opened")) << generate.both();
}

TEST_F(Quillonctl, UploadWithoutAModelIsRefused) {
    connectArmband();  // without it the upload is refused for want of an armband (0C F2)
    const CtlRun upload = runCtl(server.ctl({"upload"}));
    EXPECT_EQ(upload.exitCode, 1) << upload.both();
    EXPECT_TRUE(contains(upload.err, "MODEL_UPDATE refused: STATUS_FAILED")) << upload.both();
}

TEST_F(Quillonctl, ModelStopsAreOnlyAcknowledged) {
    const CtlRun generate = runCtl(server.ctl({"stop-generate"}));
    EXPECT_EQ(generate.exitCode, 0) << generate.both();
    EXPECT_TRUE(contains(generate.out, "(0A FD")) << generate.both();
    const CtlRun upload = runCtl(server.ctl({"stop-upload"}));
    EXPECT_EQ(upload.exitCode, 0) << upload.both();
    EXPECT_TRUE(contains(upload.out, "(0C FD")) << upload.both();
}

TEST_F(Quillonctl, IdentifyWithoutATrainedModelIsRefused) {
    connectArmband();  // without it identification is refused for want of an armband (08 F2)
    const CtlRun identify = runCtl(server.ctl({"identify"}));
    EXPECT_EQ(identify.exitCode, 1) << identify.both();
    EXPECT_TRUE(contains(identify.err, "the server refused to identify (08 FF")) << identify.both();
    const CtlRun stop = runCtl(server.ctl({"stop-identify"}));
    EXPECT_EQ(stop.exitCode, 0) << stop.both();
    EXPECT_TRUE(contains(stop.out, "identification stopped")) << stop.both();
}

TEST_F(Quillonctl, IdentifyPrintsTheRecognisedGesturesUntilCtrlC) {
    const std::string golden = std::string(QUILLON_GOLDEN_DIR) + "/case1/";
    writeFile(server.file("W&B.txt"), readFile(golden + "expected/W&B.txt"));
    writeFile(server.file("W&B.gestures"), "0x13\n");  // what the generation remembers
    connectArmband();
    ASSERT_EQ(runCtl(server.ctl({"config", "7", "0x13"})).exitCode, 0);
    ASSERT_EQ(runCtl(server.ctl({"sim", "replay", golden + "stream.bin"})).exitCode, 0);
    CtlProcess identify(server.ctl({"identify", "--mode", "exact"}));
    ASSERT_TRUE(identify.waitForOutput("identification started")) << identify.both();
    EXPECT_TRUE(identify.waitForOutput("] gesture ")) << identify.both();
    identify.interrupt();
    EXPECT_EQ(identify.wait(), 0) << identify.both();
    EXPECT_TRUE(contains(identify.out(), "identification stopped (08 FD")) << identify.both();
}

TEST_F(Quillonctl, WatchPrintsWhatOtherClientsCause) {
    CtlProcess watch(server.ctl({"watch"}));
    ASSERT_TRUE(watch.waitForOutput("watching the server")) << watch.both();
    ASSERT_TRUE(server.waitForLog("uWS connect, clients(1)"));
    ASSERT_EQ(runCtl(server.ctl({"stop-record"})).exitCode, 1);
    EXPECT_TRUE(watch.waitForOutput("06 FF  recording failed: STATUS_FAILED")) << watch.both();
    watch.interrupt();
    EXPECT_EQ(watch.wait(), 0) << watch.both();
}

TEST_F(Quillonctl, SendPrintsWhatComesBack) {
    const CtlRun send = runCtl(server.ctl({"--timeout", "1", "send", "01"}));
    EXPECT_EQ(send.exitCode, 0) << send.both();
    EXPECT_TRUE(contains(send.out, "sent 01\n")) << send.both();
    EXPECT_TRUE(contains(send.out, "01 00  PING answered: STATUS_OK")) << send.both();
}

TEST_F(Quillonctl, SimPassesTheWearersCommandsOn) {
    const CtlRun status = runCtl(server.ctl({"sim", "status"}));
    EXPECT_EQ(status.exitCode, 0) << status.both();
    EXPECT_EQ(status.out.rfind("ok {", 0), 0u) << status.both();
    const CtlRun bad = runCtl(server.ctl({"sim", "perform", "99"}));
    EXPECT_EQ(bad.exitCode, 1) << bad.both();
    EXPECT_TRUE(contains(bad.err, "error: ")) << bad.both();
}

TEST_F(Quillonctl, ExitEndsTheServer) {
    const CtlRun exit = runCtl(server.ctl({"exit"}));
    EXPECT_EQ(exit.exitCode, 0) << exit.both();
    EXPECT_TRUE(contains(exit.out, "the server has closed the connection")) << exit.both();
    EXPECT_EQ(server.waitForExit(), 0) << server.log();
}

TEST(QuillonctlAlone, AServerThatIsNotRunningIsNamed) {
    const std::string port = std::to_string(unusedPort());
    const CtlRun ping = runCtl({"--port", port, "ping"});
    EXPECT_EQ(ping.exitCode, 1) << ping.both();
    EXPECT_TRUE(contains(
        ping.err, "cannot reach the Quillon server at 127.0.0.1:" + port + " (is it running?)"))
        << ping.both();
    const CtlRun sim = runCtl({"--sim-port", port, "sim", "status"});
    EXPECT_EQ(sim.exitCode, 1) << sim.both();
    EXPECT_TRUE(contains(sim.err, "cannot reach the simulated armband's wearer control"))
        << sim.both();
}

TEST(QuillonctlAlone, BadInputIsExplainedWithoutContactingTheServer) {
    const CtlRun hex = runCtl({"send", "05 zz"});
    EXPECT_EQ(hex.exitCode, 2) << hex.both();
    EXPECT_TRUE(contains(hex.err, "quillonctl: bad hex: 'zz' is not a hex byte")) << hex.both();
    const CtlRun gesture = runCtl({"record", "9"});
    EXPECT_EQ(gesture.exitCode, 2) << gesture.both();
    EXPECT_TRUE(contains(gesture.err, "gestures are 1 to 8")) << gesture.both();
    const CtlRun help = runCtl({"help", "record"});
    EXPECT_EQ(help.exitCode, 0) << help.both();
    EXPECT_TRUE(contains(help.out, "usage: quillonctl [options] record G")) << help.both();
}

}  // namespace
