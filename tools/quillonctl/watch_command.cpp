// watch and send: every message from the server, in words.
#include <algorithm>
#include <cstdio>

#include "tools/client/hex_bytes.h"
#include "tools/client/preview_frame.h"
#include "tools/quillonctl/commands.h"
#include "tools/quillonctl/status_line.h"

namespace {

constexpr std::chrono::seconds kPreviewSummary{1};

// Preview frames come some forty times a second; watch sums them up.
struct PreviewTally {
    std::size_t frames = 0;
    std::size_t channels = 0;
    float peak = 0.0f;
    Clock::time_point since{};

    void add(const PreviewFrame& frame, Clock::time_point now) {
        if (frames == 0) {
            since = now;
        }
        ++frames;
        channels = frame.channels;
        peak = std::max(peak, previewActivity(frame));
    }

    // Prints and restarts the tally once it covers a second.
    void flushIfDue(Clock::time_point now, std::chrono::milliseconds elapsed, bool force) {
        if (frames == 0 || (!force && now - since < kPreviewSummary)) {
            return;
        }
        char text[128];
        std::snprintf(
            text, sizeof text,
            "07 ...  preview frames: %zu in the last %s, %zu channels, peak activity %.1f", frames,
            secondsText(std::chrono::duration_cast<std::chrono::milliseconds>(now - since)).c_str(),
            channels, static_cast<double>(peak));
        say(timeTag(elapsed) + " " + text);
        frames = 0;
        peak = 0.0f;
    }
};

}  // namespace

int runWatch(Session& session) {
    say("watching the server at " + session.invocation.host + ":" +
        std::to_string(session.invocation.port) + "; Ctrl+C stops");
    PreviewTally previews;
    for (;;) {
        ServerMessage message;
        const WaitOutcome outcome =
            session.link.next(Clock::now() + std::chrono::milliseconds(200), message);
        const auto now = Clock::now();
        previews.flushIfDue(now, session.elapsed(),
                            outcome != WaitOutcome::TimedOut && outcome != WaitOutcome::Message);
        if (outcome == WaitOutcome::Interrupted) {
            return kExitOk;
        }
        if (outcome == WaitOutcome::Closed) {
            say(timeTag(session.elapsed()) + " the server closed the connection");
            return kExitOk;
        }
        if (outcome == WaitOutcome::TimedOut) {
            continue;
        }
        PreviewFrame frame;
        if (parsePreviewFrame(message.bytes, frame)) {
            previews.add(frame, now);
            continue;
        }
        say(timeTag(session.elapsed()) + " " + messageLine(message.bytes));
    }
}

int runSend(Session& session) {
    session.link.send(session.invocation.frame);
    say("sent " + formatHexBytes(session.invocation.frame));
    bool heard = false;
    for (;;) {
        ServerMessage message;
        const WaitOutcome outcome = session.link.next(session.deadline(), message);
        // The own frame of a command that answers later, or never, says nothing.
        if (outcome == WaitOutcome::Message && !message.bytes.empty()) {
            heard = true;
            say(timeTag(session.elapsed()) + " " + messageLine(message.bytes));
        }
        if (outcome == WaitOutcome::Message) {
            continue;
        }
        if (outcome == WaitOutcome::Closed) {
            say(timeTag(session.elapsed()) + " the server closed the connection");
        } else if (!heard) {
            say("nothing came back within " + secondsText(session.invocation.waitLimit()) +
                " (some commands answer only later, or not at all)");
        }
        return outcome == WaitOutcome::Interrupted ? kExitInterrupted : kExitOk;
    }
}
