// demo: the whole journey against the simulated armband, unattended. Each step
// is one of the protocol steps that the single subcommands use; the demo adds
// the virtual wearer, the order of the steps, the cleanup after a failed one
// and the report at the end.
#include <cstdio>
#include <string>

#include "protocol/wire.h"
#include "tools/quillonctl/commands.h"
#include "tools/quillonctl/demo_live.h"
#include "tools/quillonctl/demo_report.h"
#include "tools/quillonctl/interrupt.h"
#include "tools/quillonctl/protocol_steps.h"
#include "tools/quillonctl/status_line.h"
#include "tools/quillonctl/wearer_link.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr seconds kRecordLimit{45};
constexpr seconds kGenerateLimit{120};
constexpr seconds kUploadLimit{60};
constexpr seconds kWearerConnect{5};
constexpr std::uint8_t kAllChannels = 0xFF;
// Steps besides one recording per gesture: connect, configure, train, upload, identify.
constexpr int kFixedSteps = 5;
constexpr int kWindowSeconds = 30;
constexpr int kOverheadSeconds = 15;  // connecting, training, uploading, settling

class Demo {
  public:
    explicit Demo(Session& session)
        : session(session),
          gestures(session.invocation.gestures),
          stepCount(kFixedSteps + static_cast<int>(gestures.size())) {
        live.gestures = gestures;
        live.speed = session.invocation.simSpeed;
    }

    int run() {
        say(introduction());
        std::string error;
        if (!wearer.open(session.invocation.host, session.invocation.simPort, kWearerConnect,
                         error)) {
            return fail(error + "; the demo needs the simulated armband");
        }
        int status = connect();
        status = status == kExitOk ? configure() : status;
        for (std::uint8_t gesture : gestures) {
            status = status == kExitOk ? record(gesture) : status;
        }
        status = status == kExitOk ? train() : status;
        status = status == kExitOk ? upload() : status;
        status = status == kExitOk ? identify() : status;
        // The server identifies as it did before the demo, whatever happened.
        const int restored = restoreIdentifyMode(session, modeBefore);
        if (status != kExitOk) {
            return stopped(status);
        }
        if (restored != kExitOk) {
            return restored;
        }
        say("");
        std::fputs(demoReport(results).c_str(), stdout);
        std::fflush(stdout);
        return kExitOk;
    }

  private:
    std::string introduction() const {
        std::string list;
        for (std::uint8_t gesture : gestures) {
            list += (list.empty() ? "" : ", ") + demoGestureName(gesture);
        }
        const int perGesture =
            kWindowSeconds + static_cast<int>((live.hold + live.rest).count() / 1000);
        const int total = perGesture * static_cast<int>(gestures.size()) + kOverheadSeconds;
        return "quillonctl demo: " + list + "\n" + std::to_string(stepCount) + " steps, about " +
               std::to_string((total + 30) / 60) +
               " min against the simulated armband; Ctrl+C stops it";
    }

    // Starts the next step: its heading, and its clock with `limit`. False when
    // Ctrl+C came between the steps.
    bool begin(const std::string& name, milliseconds limit) {
        stepName = name;
        ++stepNumber;
        session.beginStep(limit);
        say("");
        say("step " + std::to_string(stepNumber) + " of " + std::to_string(stepCount) + ": " +
            name);
        return !interruptRequested();
    }

    int connect() {
        if (!begin("connect the armband", session.invocation.waitLimit())) {
            return kExitInterrupted;
        }
        VersionAnswer version;
        int status = queryVersion(session, version);
        if (status != kExitOk) {
            return status;
        }
        if (version.firmware != kUnknownVersion) {
            say("an armband is connected already (firmware " + version.firmware + ", hardware " +
                version.hardware + ")");
            return kExitOk;
        }
        say("scanning for the armband ...");
        status = scanForArmband(session, "armband found (02 00)");
        if (status != kExitOk) {
            return status;
        }
        session.beginStep(session.invocation.waitLimit());
        return connectArmband(session);
    }

    int configure() {
        if (!begin("configure all 8 channels and the gestures", session.invocation.waitLimit())) {
            return kExitInterrupted;
        }
        std::uint8_t mask = 0;
        for (std::uint8_t gesture : gestures) {
            mask = static_cast<std::uint8_t>(mask | (1u << (gesture - 1)));
        }
        const int status = configureEmg(session, kAllChannels, mask);
        return status == kExitOk ? nameGestures(session, gestures) : status;
    }

    int record(std::uint8_t gesture) {
        if (!begin("record " + demoGestureName(gesture) + " while the wearer performs it",
                   kRecordLimit)) {
            return kExitInterrupted;
        }
        std::string error;
        if (!wearer.require("perform " + std::to_string(gesture), kWearerWait, error)) {
            return fail(error);
        }
        RecordingSummary summary;
        const int status = recordGesture(session, gesture, summary);
        recordingLeftOpen = summary.leftOpen;
        if (status != kExitOk) {
            return status;
        }
        results.recordings.push_back({gesture, summary.frames, summary.channels});
        if (!wearer.require("rest", kWearerWait, error)) {
            return fail(error);
        }
        return kExitOk;
    }

    int train() {
        if (!begin("train the model", kGenerateLimit)) {
            return kExitInterrupted;
        }
        const int status = generateModel(session, results.trainingTime);
        if (status == kExitOk) {
            say("model trained in " + millisecondsText(results.trainingTime) + " (0A 00)");
        }
        return status;
    }

    int upload() {
        if (!begin("upload the model to the armband", kUploadLimit)) {
            return kExitInterrupted;
        }
        UploadSummary summary;
        const int status = uploadModel(session, summary);
        results.uploadTime = summary.took;
        results.uploadPercentage = summary.percentage;
        if (status == kExitOk) {
            say("model uploaded in " + millisecondsText(summary.took) + " (0C 00)");
        }
        return status;
    }

    int identify() {
        if (!begin("identify live while the wearer holds each gesture in turn",
                   session.invocation.waitLimit())) {
            return kExitInterrupted;
        }
        int status = startIdentification(session, &modeBefore);
        // A refusal started nothing; after Ctrl+C the start may have been taken.
        identifying = status == kExitOk || status == kExitInterrupted;
        if (status != kExitOk) {
            return status;
        }
        say("identification started: the wearer rests " + secondsText(live.settle) +
            ", then holds each gesture for " + secondsText(live.hold) + " and rests " +
            secondsText(live.rest) + " after it");
        LiveRun run;
        status = runLivePlan(session, wearer, live, run);
        if (status != kExitOk) {
            return status;
        }
        identifying = false;
        status = stopIdentification(session);
        results.agreement = measureAgreement(run.phases, run.reports);
        return status;
    }

    // A step failed or was interrupted: undo what the demo started on the
    // server, let the wearer rest, and name the step.
    int stopped(int status) {
        if (recordingLeftOpen) {
            abandonRecording(session);
        }
        if (identifying) {
            stopIdentification(session);
        }
        std::string error;
        wearer.require("rest", kWearerWait, error);
        const std::string step = "step " + std::to_string(stepNumber) + " of " +
                                 std::to_string(stepCount) + " (" + stepName + ")";
        if (status == kExitInterrupted) {
            fail("the demo was stopped by Ctrl+C at " + step);
            return kExitInterrupted;
        }
        return fail("the demo stopped at " + step + " because it failed");
    }

    Session& session;
    const std::vector<std::uint8_t>& gestures;
    const int stepCount;
    WearerLink wearer;
    LivePlan live;
    DemoResults results;
    int stepNumber = 0;
    std::string stepName;
    bool recordingLeftOpen = false;  // a window this demo opened may still be open
    bool identifying = false;        // this demo started identification and has not stopped it
    std::string modeBefore;          // the server's identification mode, when the demo changed it
};

}  // namespace

int runDemo(Session& session) {
    Demo demo(session);
    return demo.run();
}
