// `quillonctl demo` end to end: the real client binary runs the whole journey
// against the real server and its simulated armband, in real time (each
// recording window lasts 30 s).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One run of the quillonctl binary, its standard output and error going to
// files of their own (so the demo prints plain lines, as into any pipe).
class Ctl {
  public:
    explicit Ctl(const std::vector<std::string>& arguments) {
        const std::string out = files.file("out");
        const std::string err = files.file("err");
        pid = fork();
        if (pid == 0) {
            const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int nullFd = open("/dev/null", O_RDONLY);
            if (outFd < 0 || errFd < 0 || nullFd < 0) {
                _exit(127);
            }
            dup2(nullFd, STDIN_FILENO);
            dup2(outFd, STDOUT_FILENO);
            dup2(errFd, STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(QUILLON_CTL_BINARY)};
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execv(QUILLON_CTL_BINARY, argv.data());
            _exit(127);
        }
    }
    ~Ctl() {
        if (!exitCode && pid > 0) {
            kill(pid, SIGKILL);
            wait(5s);
        }
    }

    // The exit status, or nothing if it runs on past the time-out.
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (!exitCode && pid > 0) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (Clock::now() > deadline) {
                break;
            }
            std::this_thread::sleep_for(50ms);
        }
        return exitCode;
    }
    void interrupt() const { kill(pid, SIGINT); }
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (out().find(text) == std::string::npos) {
            if (Clock::now() > deadline || wait(0ms)) {
                return out().find(text) != std::string::npos;
            }
            std::this_thread::sleep_for(100ms);
        }
        return true;
    }
    std::string out() const { return readFile(files.file("out")); }
    std::string err() const { return readFile(files.file("err")); }
    std::string both() const { return "stdout:\n" + out() + "stderr:\n" + err(); }

  private:
    TempDir files;
    pid_t pid = -1;
    std::optional<int> exitCode;
};

struct Finished {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::string both() const { return "stdout:\n" + out + "stderr:\n" + err; }
};

Finished run(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout = 60s) {
    Ctl ctl(arguments);
    const std::optional<int> code = ctl.wait(timeout);
    return Finished{code.value_or(-1), ctl.out(), ctl.err()};
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The overall agreement in the report, in percent; -1 when it is missing.
int overallAgreement(const std::string& report) {
    std::smatch match;
    static const std::regex overall("overall agreement: ([0-9]+) % of ");
    return std::regex_search(report, match, overall) ? std::stoi(match[1].str()) : -1;
}

class QuillonctlDemo : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.log(); }
    void TearDown() override {
        if (server.running()) {
            run({"exit"});
            EXPECT_EQ(server.waitForExit(), 0) << server.log();
        }
    }
    ServerProcess server;
};

TEST_F(QuillonctlDemo, RunsTheWholeJourneyAndReportsIt) {
    const Finished demo = run({"demo"}, 400s);
    std::printf("%s", demo.both().c_str());
    ASSERT_EQ(demo.exitCode, 0) << demo.both() << server.log();
    EXPECT_TRUE(contains(demo.out, "step 1 of 8: connect the armband\n")) << demo.both();
    EXPECT_TRUE(contains(demo.out, "armband connected (03 00)")) << demo.both();
    EXPECT_TRUE(contains(demo.out, "step 3 of 8: record gesture 1 (Fist)")) << demo.both();
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
        EXPECT_TRUE(fileExists(server.file(file))) << file;
    }
    EXPECT_EQ(server.countInLog("stop identify command recieved."), 1) << server.log();
    // The server is left idle: a recording can start at once.
    const Finished stop = run({"stop-record"});
    EXPECT_TRUE(contains(stop.err, "no recording was under way")) << stop.both();
}

TEST_F(QuillonctlDemo, CtrlCDuringARecordingStopsItAndNamesTheStep) {
    // An armband that is connected already is taken as it is.
    ASSERT_EQ(run({"scan"}).exitCode, 0);
    ASSERT_EQ(run({"connect"}).exitCode, 0);
    Ctl demo({"demo", "--gestures", "2,5"});
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
    const Finished stop = run({"stop-record"});
    EXPECT_TRUE(contains(stop.err, "no recording was under way")) << stop.both();
    const Finished wearer = run({"sim", "status"});
    EXPECT_TRUE(contains(wearer.out, "\"action\":\"rest\"")) << wearer.both();
}

TEST_F(QuillonctlDemo, AFailedStepStopsTheDemoAndIsNamed) {
    ASSERT_EQ(run({"sim", "absent"}).exitCode, 0);
    const Finished demo = run({"--timeout", "2", "demo"});
    EXPECT_EQ(demo.exitCode, 1) << demo.both();
    EXPECT_TRUE(contains(demo.err, "waited for the notification that an armband was found"))
        << demo.both();
    EXPECT_TRUE(contains(demo.err, "the demo stopped at step 1 of 8 (connect the armband)"))
        << demo.both();
    EXPECT_FALSE(contains(demo.out, "step 2 of 8")) << demo.both();
}

TEST_F(QuillonctlDemo, TheDemoNeedsTheWearerControl) {
    const Finished demo = run({"--sim-port", "1", "demo"});
    EXPECT_EQ(demo.exitCode, 1) << demo.both();
    EXPECT_TRUE(contains(demo.err,
                         "cannot reach the simulated armband's wearer control at "
                         "127.0.0.1:1"))
        << demo.both();
    EXPECT_FALSE(contains(demo.out, "step 1")) << demo.both();
}

}  // namespace
