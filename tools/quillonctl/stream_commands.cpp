// gesture-stream and identify: start a stream of reports on the server, print
// each report as it comes, and stop the stream again on Ctrl+C.
#include "protocol/wire.h"
#include "tools/client/hex_bytes.h"
#include "tools/client/message_text.h"
#include "tools/quillonctl/commands.h"
#include "tools/quillonctl/protocol_steps.h"

namespace {

struct StreamSpec {
    std::uint8_t start;
    std::uint8_t stop;
    std::uint8_t code;     // of the reports, the refusal and the stop's answer
    std::uint8_t refusal;  // the status that refuses the start
    const char* what;      // "gesture stream"
    const char* refusedText;
    std::string (*reportText)(std::uint8_t value);
};

const StreamSpec kGestureStream{
    START_GESTURE_STREAM,
    STOP_GESTURE_STREAM,
    kNotifyGesture,
    STATUS_WRONG_MODE,
    "gesture stream",
    "the server refused the gesture stream (10 FC STATUS_WRONG_MODE): it is recording, "
    "identifying or streaming gestures already",
    armbandGestureText};

const StreamSpec kIdentification{
    START_IDENTIFY,
    STOP_IDENTIFY,
    kIdentifyAnswer,
    STATUS_FAILED,
    "identification",
    "the server refused to identify (08 FF STATUS_FAILED): it is busy recording, identifying or "
    "streaming gestures, or W&B.txt is missing or malformed, or in calibrated mode "
    "recogniser.txt is missing or from another training (`quillonctl generate` makes both)",
    identifiedGestureText};

int stopStream(Session& session, const StreamSpec& stream) {
    std::uint16_t sent = 0;
    Bytes answer;
    if (session.link.request({stream.stop}, Clock::now() + kStopWait, sent, answer, false) !=
        WaitOutcome::Message) {
        return fail(std::string("stopped following the ") + stream.what +
                    ", but the server did not confirm the stop within 5 s");
    }
    if (answer != Bytes{stream.code, STATUS_STOPPED}) {
        return fail(std::string("the server answered the stop with ") + messageLine(answer));
    }
    say(std::string(stream.what) + " stopped (" + formatHexBytes(answer) + ")");
    return kExitOk;
}

// `started` receives the start's number: a refusal of the armband may still
// come under it.
int startStream(Session& session, const StreamSpec& stream, std::uint16_t& started) {
    Bytes refusal;
    const WaitOutcome outcome =
        session.link.request({stream.start}, session.deadline(), started, refusal);
    if (outcome != WaitOutcome::Message) {
        return waitFailed(session, outcome, std::string("the server to start the ") + stream.what);
    }
    if (refusal == Bytes{stream.code, stream.refusal}) {
        return fail(stream.refusedText);
    }
    if (!refusal.empty()) {
        return fail(std::string("the ") + stream.what + " did not start: " + messageLine(refusal));
    }
    return kExitOk;
}

// Whether a plain message is a report of the stream rather than another
// client's refusal (identification's "no gesture" shares its byte with FF).
bool isReport(const Bytes& message, const StreamSpec& stream) {
    if (message.size() != 2 || message[0] != stream.code) {
        return false;
    }
    const std::uint8_t value = message[1];
    return value < kLowestFailureStatus || value == STATUS_STOPPED ||
           (stream.code == kIdentifyAnswer && value == kNoGesture);
}

int followStream(Session& session, const StreamSpec& stream) {
    std::uint16_t started = 0;
    const int status = startStream(session, stream, started);
    if (status != kExitOk) {
        return status;
    }
    say(std::string(stream.what) + " started; Ctrl+C stops it");
    const auto since = Clock::now();
    for (;;) {
        ServerMessage message;
        const WaitOutcome outcome = session.link.next(Clock::time_point::max(), message);
        if (outcome == WaitOutcome::Interrupted) {
            return stopStream(session, stream);
        }
        if (outcome != WaitOutcome::Message) {
            return fail(std::string("the server closed the connection; the ") + stream.what +
                        " has ended");
        }
        if (message.answers(started) && !message.bytes.empty()) {
            return fail(std::string("the ") + stream.what +
                        " did not start: " + messageLine(message.bytes));
        }
        if (message.bytes == kDisconnected) {
            return fail(std::string("the armband disconnected; the server ended the ") +
                        stream.what);
        }
        if (message.own || !isReport(message.bytes, stream)) {
            continue;
        }
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
        if (message.bytes[1] == STATUS_STOPPED) {
            say(timeTag(elapsed) + " " + stream.what + " stopped by another client");
            return kExitOk;
        }
        say(timeTag(elapsed) + " " + stream.reportText(message.bytes[1]));
    }
}

}  // namespace

int runGestureStream(Session& session) {
    return followStream(session, kGestureStream);
}

int runIdentify(Session& session) {
    const int status = chooseIdentifyMode(session);
    return status == kExitOk ? followStream(session, kIdentification) : status;
}

int startIdentification(Session& session, std::string* previousMode) {
    const int status = chooseIdentifyMode(session, previousMode);
    std::uint16_t started = 0;
    return status == kExitOk ? startStream(session, kIdentification, started) : status;
}

int stopIdentification(Session& session) {
    return stopStream(session, kIdentification);
}
