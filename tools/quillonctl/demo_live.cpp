#include "tools/quillonctl/demo_live.h"

#include <algorithm>
#include <string>

#include "protocol/wire.h"
#include "tools/client/message_text.h"
#include "tools/quillonctl/demo_report.h"
#include "tools/quillonctl/status_line.h"
#include "tools/quillonctl/wearer_link.h"

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kDemoRedraw{200};
constexpr int kDemoBarCells = 20;

std::string reportedText(std::uint8_t gesture) {
    if (gesture == kNoGesture) {
        return "no gesture";
    }
    return gesture >= 1 && gesture <= 8 ? demoGestureName(gesture) : identifiedGestureText(gesture);
}

// One stretch of the plan: the wearer holds `gesture`, or rests (kNoGesture).
struct Stretch {
    std::uint8_t gesture;
    milliseconds length;
    bool measured;
};

class LiveRunner {
  public:
    LiveRunner(Session& session, WearerLink& wearer, LiveRun& run, double speed)
        : session(session),
          wearer(wearer),
          run(run),
          speed(speed),
          line(stdout, session.terminal, kDemoRedraw) {}

    int play(const Stretch& stretch) {
        const milliseconds begin = sinceStart();
        const std::string doing = stretch.gesture == kNoGesture
                                      ? std::string("rest")
                                      : "hold " + std::to_string(stretch.gesture);
        std::string error;
        if (!wearer.require(doing, kWearerWait, error)) {
            line.finish();
            return fail(error);
        }
        const std::string what = stretch.gesture == kNoGesture
                                     ? std::string("rests")
                                     : "holds " + demoGestureName(stretch.gesture);
        line.print(timeTag(begin) + " the wearer " + what + " for " + secondsText(stretch.length));
        const int status = collect(stretch, begin);
        if (status == kExitOk && stretch.measured) {
            run.phases.push_back(WearerPhase{stretch.gesture, begin, sinceStart()});
        }
        return status;
    }

    void finish() { line.finish(); }

  private:
    milliseconds realTime(milliseconds emg) const {
        return milliseconds(static_cast<std::int64_t>(static_cast<double>(emg.count()) / speed));
    }

    milliseconds sinceStart() const {
        return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    }

    // Takes the server's messages until the stretch has lasted its length.
    int collect(const Stretch& stretch, milliseconds begin) {
        const auto until = start + begin + realTime(stretch.length);
        // Only a terminal shows the changing status line; plain output has the
        // lines that play and collect print.
        auto nextRedraw = session.terminal ? Clock::now() : Clock::time_point::max();
        for (;;) {
            const auto now = Clock::now();
            if (now >= until) {
                return kExitOk;
            }
            if (now >= nextRedraw) {
                line.show(statusText(stretch, begin), now);
                nextRedraw = now + kDemoRedraw;
            }
            ServerMessage incoming;
            const WaitOutcome outcome = session.link.next(std::min(until, nextRedraw), incoming);
            if (outcome == WaitOutcome::TimedOut) {
                continue;
            }
            if (outcome == WaitOutcome::Interrupted) {
                line.finish();
                fail("stopped by Ctrl+C during live identification");
                return kExitInterrupted;
            }
            if (outcome == WaitOutcome::Closed) {
                line.finish();
                return fail("the server closed the connection during live identification");
            }
            const Bytes& message = incoming.bytes;
            if (incoming.own && !message.empty()) {
                // Only the identification's start is this client's here: the
                // armband refused its stream.
                line.finish();
                return fail("identification did not start: " + messageLine(message));
            }
            if (incoming.own) {
                continue;
            }
            if (message == kDisconnected) {
                line.finish();
                return fail(
                    "the armband disconnected (04 00): the server ended the identification");
            }
            if (message.size() != 2 || message[0] != kIdentifyAnswer) {
                continue;
            }
            if (message[1] == STATUS_STOPPED) {
                line.finish();
                return fail("another client stopped the identification (08 FD)");
            }
            const GestureReport report{sinceStart(), message[1]};
            run.reports.push_back(report);
            reported = report.gesture;
            line.print(timeTag(report.at) + "   reported: " + reportedText(report.gesture));
        }
    }

    std::string statusText(const Stretch& stretch, milliseconds begin) const {
        const milliseconds emgSoFar(
            static_cast<std::int64_t>(static_cast<double>((sinceStart() - begin).count()) * speed));
        const milliseconds into = std::clamp(emgSoFar, milliseconds{0}, stretch.length);
        const float share =
            stretch.length.count() > 0
                ? static_cast<float>(into.count()) / static_cast<float>(stretch.length.count())
                : 1.0f;
        const std::string doing = stretch.gesture == kNoGesture
                                      ? std::string("rest")
                                      : "hold " + demoGestureName(stretch.gesture);
        return "live  " + doing + " " + progressBar(share, kDemoBarCells) + " " +
               secondsText(into) + " of " + secondsText(stretch.length) +
               "  reported: " + reportedText(reported);
    }

    Session& session;
    WearerLink& wearer;
    LiveRun& run;
    double speed;
    StatusLine line;
    const Clock::time_point start = Clock::now();
    std::uint8_t reported = kNoGesture;  // the last report, or none yet
};

}  // namespace

int runLivePlan(Session& session, WearerLink& wearer, const LivePlan& plan, LiveRun& run) {
    std::vector<Stretch> stretches{{kNoGesture, plan.settle, false}};
    for (std::uint8_t gesture : plan.gestures) {
        stretches.push_back({gesture, plan.hold, true});
        stretches.push_back({kNoGesture, plan.rest, true});
    }
    LiveRunner runner(session, wearer, run, plan.speed);
    for (const Stretch& stretch : stretches) {
        const int status = runner.play(stretch);
        if (status != kExitOk) {
            return status;
        }
    }
    runner.finish();
    return kExitOk;
}
