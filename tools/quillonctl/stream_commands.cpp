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
    session.link.send({stream.stop});
    const auto deadline = Clock::now() + kStopWait;
    for (;;) {
        Bytes message;
        const WaitOutcome outcome = session.link.next(deadline, message, false);
        if (outcome != WaitOutcome::Message) {
            return fail(std::string("stopped following the ") + stream.what +
                        ", but the server did not confirm the stop within 5 s");
        }
        if (message.size() == 2 && message[0] == stream.code &&
            message[1] >= kLowestFailureStatus && message[1] != STATUS_FAILED) {
            if (message[1] != STATUS_STOPPED) {
                return fail(std::string("the server answered the stop with ") +
                            messageLine(message));
            }
            say(std::string(stream.what) + " stopped (" + formatHexBytes(message) + ")");
            return kExitOk;
        }
    }
}

int startStream(Session& session, const StreamSpec& stream) {
    std::vector<Bytes> before;
    const WaitOutcome started = session.link.sendFenced({stream.start}, session.deadline(), before);
    if (started != WaitOutcome::Message) {
        return waitFailed(session, started, std::string("the server to start the ") + stream.what);
    }
    for (const Bytes& message : before) {
        if (message == Bytes{stream.code, stream.refusal}) {
            return fail(stream.refusedText);
        }
        // F0 to F2: the armband is not there or refused the stream.
        if (message.size() == 2 && message[0] == stream.code && message[1] >= STATUS_DEVICE_ERROR &&
            message[1] <= STATUS_NO_DEVICE) {
            return fail(std::string("the ") + stream.what +
                        " did not start: " + messageLine(message));
        }
    }
    return kExitOk;
}

int followStream(Session& session, const StreamSpec& stream) {
    const int status = startStream(session, stream);
    if (status != kExitOk) {
        return status;
    }
    say(std::string(stream.what) + " started; Ctrl+C stops it");
    const auto since = Clock::now();
    for (;;) {
        Bytes message;
        const WaitOutcome outcome = session.link.next(Clock::time_point::max(), message);
        if (outcome == WaitOutcome::Interrupted) {
            return stopStream(session, stream);
        }
        if (outcome != WaitOutcome::Message) {
            return fail(std::string("the server closed the connection; the ") + stream.what +
                        " has ended");
        }
        if (message == kDisconnected) {
            return fail(std::string("the armband disconnected; the server ended the ") +
                        stream.what);
        }
        if (message.size() != 2 || message[0] != stream.code) {
            continue;
        }
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
        if (message[1] == STATUS_STOPPED) {
            say(timeTag(elapsed) + " " + stream.what + " stopped by another client");
            return kExitOk;
        }
        say(timeTag(elapsed) + " " + stream.reportText(message[1]));
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
    return status == kExitOk ? startStream(session, kIdentification) : status;
}

int stopIdentification(Session& session) {
    return stopStream(session, kIdentification);
}
