// ping, scan, connect, disconnect, version, config and exit: one request, then
// the answer or the notification that completes it.
#include "protocol/wire.h"
#include "tools/client/message_text.h"
#include "tools/quillonctl/commands.h"
#include "tools/quillonctl/protocol_steps.h"
#include "tools/quillonctl/status_line.h"

namespace {

// Which answers complete a request besides its own.
enum class Outcome {
    Own,
    // Also a plain one: the scan and the link are one for all clients, so
    // another client's scan that finds the armband, or the armband leaving,
    // completes this client's request too. A plain FF is some client's
    // refusal, never an outcome.
    Shared,
};

// Sends `command`, then waits for its answer: at once (a refusal) or later,
// the answer with `command`'s code; value 0 is success, anything else failure.
int requestAndAwait(Session& session, const Bytes& command, const std::string& waitedFor,
                    const std::string& success, const std::string& hint, Outcome outcome) {
    std::uint16_t sent = 0;
    Bytes answer;
    WaitOutcome waited = session.link.request(command, session.deadline(), sent, answer);
    while (waited == WaitOutcome::Message && answer.empty()) {
        ServerMessage message;
        waited = session.link.next(session.deadline(), message);
        const bool shared = outcome == Outcome::Shared && !message.own &&
                            message.bytes.size() == 2 && message.bytes[1] != STATUS_FAILED;
        if (!message.bytes.empty() && message.bytes[0] == command[0] &&
            (message.answers(sent) || shared)) {
            answer = std::move(message.bytes);
        }
    }
    if (waited != WaitOutcome::Message) {
        return waitFailed(session, waited, waitedFor, hint);
    }
    if (answer.size() == 2 && answer[1] == STATUS_OK) {
        say(success);
        return kExitOk;
    }
    return fail(messageLine(answer));
}

// "1 2 3" for the bits set in `mask`, counted from 1.
std::string bitList(std::uint8_t mask) {
    std::string text;
    for (int bit = 0; bit < 8; ++bit) {
        if ((mask >> bit) & 1) {
            text += (text.empty() ? "" : " ") + std::to_string(bit + 1);
        }
    }
    return text;
}

}  // namespace

int runPing(Session& session) {
    const auto sent = Clock::now();
    Bytes answer;
    const WaitOutcome outcome = session.link.answerTo({PING}, session.deadline(), answer);
    if (outcome != WaitOutcome::Message) {
        return waitFailed(session, outcome, "the answer to PING (01 00)");
    }
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent);
    const std::string line = messageLine(answer);
    if (answer != Bytes{PING, STATUS_OK}) {
        return fail(line);
    }
    say(line + " (" + std::to_string(took.count() / 1000) + "." +
        std::to_string(took.count() % 1000 / 100) + " ms)");
    return kExitOk;
}

int scanForArmband(Session& session, const std::string& found) {
    return requestAndAwait(
        session, {SCAN_DEVICE, 0x00}, "the notification that an armband was found (02 00)", found,
        "the server scans for 30 s in all; is the armband switched on, near, and not "
        "connected already?",
        Outcome::Shared);
}

int connectArmband(Session& session) {
    return requestAndAwait(
        session, {CONNECT_DEVICE}, "the notification that the armband is connected (03 00)",
        "armband connected (03 00)",
        "is the armband switched on and near? (`quillonctl scan` first)", Outcome::Own);
}

int runScan(Session& session) {
    say("scanning for the armband ...");
    return scanForArmband(session, "armband found (02 00): connect it with `quillonctl connect`");
}

int runConnect(Session& session) {
    return connectArmband(session);
}

int runDisconnect(Session& session) {
    return requestAndAwait(session, {DISCONNECT_DEVICE},
                           "the notification that the armband is disconnected (04 00)",
                           "armband disconnected (04 00)", {}, Outcome::Shared);
}

int queryVersion(Session& session, VersionAnswer& version) {
    Bytes answer;
    const WaitOutcome outcome = session.link.answerTo({GET_VERSION}, session.deadline(), answer);
    if (outcome != WaitOutcome::Message) {
        return waitFailed(session, outcome, "the answer to GET_VERSION (30 and the version text)");
    }
    if (!parseVersionAnswer(answer, version)) {
        return fail("the server sent a malformed version answer: " + messageLine(answer));
    }
    return kExitOk;
}

int runVersion(Session& session) {
    VersionAnswer version;
    const int status = queryVersion(session, version);
    if (status != kExitOk) {
        return status;
    }
    say(version.text);
    std::string words = "server " + version.server + ", armband firmware " + version.firmware +
                        ", hardware " + version.hardware;
    if (version.firmware == kUnknownVersion && version.hardware == kUnknownVersion) {
        words += " (no armband connected)";
    }
    say(words);
    return kExitOk;
}

int configureEmg(Session& session, std::uint8_t channelMask, std::uint8_t gestureMask) {
    say("channels " + bitList(channelMask) + ", gestures " + bitList(gestureMask));
    Bytes answer;
    const WaitOutcome outcome = session.link.answerTo({SET_EMG_CONFIG, channelMask, gestureMask},
                                                      session.deadline(), answer);
    if (outcome != WaitOutcome::Message) {
        return waitFailed(session, outcome, "the outcome of the EMG configuration (05)");
    }
    if (answer.size() != 2 || answer[0] != kNotifyRawConfig) {
        return fail("the server sent a malformed answer: " + messageLine(answer));
    }
    if (answer[1] != STATUS_OK) {
        return fail(configOutcomeText(answer[1]));
    }
    say(configOutcomeText(answer[1]));
    return kExitOk;
}

int runConfig(Session& session) {
    return configureEmg(session, session.invocation.channelMask, session.invocation.gestureMask);
}

int runExit(Session& session) {
    session.link.send({EXIT_SERVER});
    say("asked the server to end ...");
    for (;;) {
        ServerMessage message;
        const WaitOutcome outcome = session.link.next(session.deadline(), message);
        if (outcome == WaitOutcome::Closed) {
            say("the server has closed the connection");
            return kExitOk;
        }
        if (outcome != WaitOutcome::Message) {
            return waitFailed(session, outcome, "the server to close the connection");
        }
    }
}
