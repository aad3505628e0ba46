// record G: one 30-second recording window of gesture G, with its progress and
// a level meter fed by the preview frames, until the server reports the file.
#include <algorithm>
#include <cstdio>
#include <optional>

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

// Sends STOP_RECORD and waits, whatever Ctrl+C does, for its answer: 06 FD
// (stopped) or 06 FF (nothing to stop). When this client's own window
// (`window`, its START_RECORD's number) had closed by itself, `answer` is that
// window's end instead (06 00, or the reason it failed). False when no answer
// came within kStopWait.
bool sendStopRecord(Session& session, Bytes& answer,
                    std::optional<std::uint16_t> window = std::nullopt) {
    const auto deadline = Clock::now() + kStopWait;
    const std::uint16_t stop = session.link.send({STOP_RECORD});
    Bytes windowEnd;
    for (;;) {
        ServerMessage message;
        if (session.link.next(deadline, message, false) != WaitOutcome::Message) {
            return false;
        }
        if (window && message.answers(*window) && !message.bytes.empty()) {
            windowEnd = message.bytes;
        }
        if (message.answers(stop)) {
            answer = std::move(message.bytes);
            break;
        }
    }
    if (window && answer != Bytes{kRecordAnswer, STATUS_STOPPED}) {
        // A window that was full is saved before it is answered.
        if (windowEnd.empty()) {
            session.link.answerOf(*window, deadline, windowEnd, false);
        }
        if (!windowEnd.empty()) {
            answer = windowEnd;
        }
    }
    return true;
}

int stopRecording(Session& session, std::uint16_t window, StatusLine& line) {
    Bytes answer;
    if (!sendStopRecord(session, answer, window)) {
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
    if (status >= STATUS_DEVICE_ERROR && status <= STATUS_NO_DEVICE) {
        const std::string answer = messageLine({kRecordAnswer, status});
        return fail(recording.previews == 0
                        ? "the recording did not start: " + answer
                        : "the recording window failed: " + answer + "; nothing was written");
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
    std::uint16_t window = 0;
    Bytes refusal;
    const WaitOutcome started = session.link.request({START_RECORD, recording.gesture},
                                                     session.deadline(), window, refusal);
    if (started != WaitOutcome::Message) {
        // Whether the server took the command is not known.
        summary.leftOpen = started != WaitOutcome::Closed;
        return waitFailed(session, started, "the server to start the recording");
    }
    if (refusal == Bytes{kRecordAnswer, STATUS_FAILED}) {
        return fail(
            "the server refused to record (06 FF STATUS_FAILED): it is recording, "
            "identifying or streaming gestures already");
    }
    if (!refusal.empty()) {
        return fail("the recording did not start: " + messageLine(refusal));
    }
    recording.since = Clock::now();
    recording.speed = session.invocation.simSpeed;
    StatusLine line(stdout, session.terminal, kPlainInterval);
    line.print("recording gesture " + std::to_string(recording.gesture) +
               " for 30 s; Ctrl+C stops it");
    auto nextRedraw = Clock::now();
    for (;;) {
        const auto now = Clock::now();
        if (now >= nextRedraw) {
            line.show(recording.statusText(now), now);
            nextRedraw = now + kRedraw;
        }
        ServerMessage message;
        const WaitOutcome outcome =
            session.link.next(std::min(nextRedraw, session.deadline()), message);
        if (outcome == WaitOutcome::Interrupted) {
            return stopRecording(session, window, line);
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
        const Bytes& bytes = message.bytes;
        PreviewFrame frame;
        if (message.answers(window) && bytes.size() == 2 && bytes[0] == kRecordAnswer) {
            line.show(recording.statusText(Clock::now()), Clock::now(), true);
            return windowClosed(recording, line, bytes[1], summary);
        }
        if (message.own) {
            continue;
        }
        if (parsePreviewFrame(bytes, frame)) {
            recording.add(frame);
        } else if (bytes == kDisconnected) {
            line.finish();
            return fail("the armband disconnected (04 00): the server abandoned the recording");
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
