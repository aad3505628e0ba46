// record G: one 30-second recording window of gesture G, with its progress and
// a level meter fed by the preview frames, until the server reports the file.
#include <algorithm>
#include <cstdio>

#include "protocol/wire.h"
#include "tools/client/message_text.h"
#include "tools/client/preview_frame.h"
#include "tools/quillonctl/commands.h"
#include "tools/quillonctl/protocol_steps.h"
#include "tools/quillonctl/status_line.h"

namespace {

constexpr std::chrono::seconds kWindow{30};
constexpr std::chrono::milliseconds kRedraw{200};
constexpr std::chrono::seconds kPlainInterval{5};
constexpr std::size_t kFramesPerPacket = 16;  // each preview frame stands for one raw packet
constexpr float kMeterFull = 64.0f;
constexpr float kSmoothing = 0.3f;  // weight of the newest frame in the meter
constexpr int kBarCells = 30;
constexpr int kMeterCells = 10;

struct Recording {
    std::uint8_t gesture = 0;
    Clock::time_point since{};
    std::size_t previews = 0;
    std::size_t channels = 0;
    float level = 0.0f;
    double speed = 1.0;  // EMG seconds per real second

    void add(const PreviewFrame& frame) {
        ++previews;
        channels = frame.channels;
        level = (1.0f - kSmoothing) * level + kSmoothing * previewActivity(frame);
    }

    std::string fileName() const { return "raw" + std::to_string(gesture) + ".bin"; }

    std::string statusText(Clock::time_point now) const {
        // The window holds 30 s of EMG, which a sped-up armband streams sooner.
        const auto elapsed = std::chrono::milliseconds(static_cast<std::int64_t>(
            static_cast<double>(
                std::chrono::duration_cast<std::chrono::milliseconds>(now - since).count()) *
            speed));
        const float share = static_cast<float>(elapsed.count()) /
                            static_cast<float>(std::chrono::milliseconds(kWindow).count());
        char levelText[16];
        std::snprintf(levelText, sizeof levelText, "%5.1f", static_cast<double>(level));
        return "gesture " + std::to_string(gesture) + " " + progressBar(share, kBarCells) + " " +
               secondsText(std::min<std::chrono::milliseconds>(elapsed, kWindow)) +
               " of 30 s  level |" + levelMeter(level, kMeterFull, kMeterCells) + "| " + levelText;
    }
};

// Sends STOP_RECORD and waits, whatever Ctrl+C does, for the end of the
// window: 06 FD (stopped), or 06 00 / 06 FF when it had closed by itself.
// False when no such answer came within kStopWait.
bool sendStopRecord(Session& session, Bytes& answer) {
    session.link.send({STOP_RECORD});
    const auto deadline = Clock::now() + kStopWait;
    for (;;) {
        if (session.link.next(deadline, answer, false) != WaitOutcome::Message) {
            return false;
        }
        if (answer == Bytes{kRecordAnswer, STATUS_STOPPED} ||
            answer == Bytes{kRecordAnswer, STATUS_FAILED} ||
            answer == Bytes{kRecordAnswer, STATUS_OK}) {
            return true;
        }
    }
}

int stopRecording(Session& session, StatusLine& line) {
    Bytes answer;
    if (!sendStopRecord(session, answer)) {
        line.finish();
        return fail("stopped by Ctrl+C; the server did not confirm STOP_RECORD within 5 s");
    }
    if (answer == Bytes{kRecordAnswer, STATUS_STOPPED}) {
        line.print("recording stopped by Ctrl+C (06 FD): nothing was written");
    } else {
        line.print("stopped by Ctrl+C, but the window had already closed: " + messageLine(answer));
    }
    return kExitInterrupted;
}

int windowClosed(const Recording& recording, StatusLine& line, std::uint8_t status,
                 RecordingSummary& summary) {
    const std::string file = recording.fileName();
    line.finish();
    if (status == STATUS_STOPPED) {
        return fail("the recording was stopped by another client (06 FD): nothing was written");
    }
    if (status != STATUS_OK) {
        return fail("the server could not open " + file + " (06 " +
                    (status == STATUS_FAILED ? std::string("FF") : statusName(status)) +
                    "): this recording is lost");
    }
    if (recording.previews == 0) {
        return fail("the window closed (06 00) but no EMG data arrived, so " + file +
                    " got nothing new: is the armband connected (`quillonctl scan`, `connect`)?");
    }
    const std::size_t frames = recording.previews * kFramesPerPacket;
    summary.frames = frames;
    summary.channels = recording.channels;
    say("recorded gesture " + std::to_string(recording.gesture) + " (06 00): " + file +
        " in the server's working directory, about " + std::to_string(frames * recording.channels) +
        " bytes added (" + std::to_string(frames) + " frames of " +
        std::to_string(recording.channels) + " channels)");
    return kExitOk;
}

}  // namespace

int recordGesture(Session& session, std::uint8_t gesture, RecordingSummary& summary) {
    summary = RecordingSummary{};
    Recording recording;
    recording.gesture = gesture;
    std::vector<Bytes> before;
    const WaitOutcome started =
        session.link.sendFenced({START_RECORD, recording.gesture}, session.deadline(), before);
    if (started != WaitOutcome::Message) {
        // Whether the server took the command is not known.
        summary.leftOpen = started != WaitOutcome::Closed;
        return waitFailed(session, started, "the server to start the recording");
    }
    for (const Bytes& message : before) {
        if (message == Bytes{kRecordAnswer, STATUS_FAILED}) {
            return fail(
                "the server refused to record (06 FF STATUS_FAILED): it is recording, "
                "identifying or streaming gestures already");
        }
        if (message.size() == 2 && message[0] == kRecordAnswer &&
            message[1] >= STATUS_DEVICE_ERROR && message[1] <= STATUS_NO_DEVICE) {
            return fail("the recording did not start: " + messageLine(message));
        }
    }
    recording.since = Clock::now();
    recording.speed = session.invocation.simSpeed;
    StatusLine line(stdout, session.terminal, kPlainInterval);
    line.print("recording gesture " + std::to_string(recording.gesture) +
               " for 30 s; Ctrl+C stops it");
    for (const Bytes& message : before) {
        PreviewFrame frame;
        if (parsePreviewFrame(message, frame)) {
            recording.add(frame);
        }
    }
    auto nextRedraw = Clock::now();
    for (;;) {
        const auto now = Clock::now();
        if (now >= nextRedraw) {
            line.show(recording.statusText(now), now);
            nextRedraw = now + kRedraw;
        }
        Bytes message;
        const WaitOutcome outcome =
            session.link.next(std::min(nextRedraw, session.deadline()), message);
        if (outcome == WaitOutcome::Interrupted) {
            return stopRecording(session, line);
        }
        if (outcome == WaitOutcome::Closed) {
            line.finish();
            return fail("the server closed the connection during the recording");
        }
        if (outcome == WaitOutcome::TimedOut) {
            if (Clock::now() < session.deadline()) {
                continue;
            }
            line.finish();
            summary.leftOpen = true;
            return waitFailed(session, outcome, "the end of the recording window (06 00)");
        }
        PreviewFrame frame;
        if (parsePreviewFrame(message, frame)) {
            recording.add(frame);
        } else if (message == kDisconnected) {
            line.finish();
            return fail("the armband disconnected (04 00): the server abandoned the recording");
        } else if (message.size() == 2 && message[0] == kRecordAnswer) {
            line.show(recording.statusText(Clock::now()), Clock::now(), true);
            return windowClosed(recording, line, message[1], summary);
        }
    }
}

int abandonRecording(Session& session) {
    Bytes answer;
    if (!sendStopRecord(session, answer)) {
        return fail("the server did not confirm STOP_RECORD within 5 s");
    }
    say("recording abandoned: " + messageLine(answer));
    return kExitOk;
}

int runRecord(Session& session) {
    RecordingSummary summary;
    return recordGesture(session, session.invocation.gesture, summary);
}
