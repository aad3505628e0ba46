#include "tools/quillonctl/server_link.h"

#include <algorithm>

#include "protocol/wire.h"
#include "tools/client/hex_bytes.h"
#include "tools/quillonctl/interrupt.h"
#include "tools/quillonctl/status_line.h"

namespace {

// How often a wait looks at the Ctrl+C flag.
constexpr std::chrono::milliseconds kInterruptPoll{100};
const Bytes kOwnAnswersAccepted{OWN_ANSWERS, STATUS_OK};
// An own answer: 31 seqLo seqHi, then the answer's bytes.
constexpr std::size_t kOwnHeader = 3;

}  // namespace

std::string unreachableText(const std::string& host, std::uint16_t port, const std::string& reason,
                            int httpStatus) {
    const std::string where = host + ":" + std::to_string(port);
    if (reason.rfind("cannot resolve", 0) == 0) {
        return "cannot find the host '" + host + "' (" + reason + ")";
    }
    if (reason.rfind("cannot connect", 0) == 0) {
        return "cannot reach the Quillon server at " + where + " (is it running?)";
    }
    std::string text = "the program at " + where + " did not accept a WebSocket connection";
    if (httpStatus != 0) {
        text += " (HTTP status " + std::to_string(httpStatus) + ")";
    }
    return text + ": is it the Quillon server? (" + reason + ")";
}

bool ServerLink::open(const std::string& host, std::uint16_t port,
                      std::chrono::milliseconds timeout, std::string& error) {
    WsConnectOptions options;
    options.timeout = timeout;
    std::string reason;
    int httpStatus = 0;
    if (!client.connect(host, port, reason, options, &httpStatus)) {
        error = unreachableText(host, port, reason, httpStatus);
        return false;
    }
    // Whatever comes before the server's 31 00 happened before this client
    // asked for anything.
    const std::string where = "the server at " + host + ":" + std::to_string(port);
    client.sendBinary({OWN_ANSWERS});
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        Bytes message;
        const WaitOutcome outcome = receive(deadline, message, false);
        if (outcome == WaitOutcome::Closed) {
            error = where + " closed the connection before it answered OWN_ANSWERS (31)";
            return false;
        }
        if (outcome != WaitOutcome::Message) {
            error = where + " did not answer OWN_ANSWERS (31) within " + secondsText(timeout) +
                    ": is it an older Quillon server?";
            return false;
        }
        if (message == kOwnAnswersAccepted) {
            return true;
        }
        if (!message.empty() && message[0] == OWN_ANSWERS) {
            error = where + " refused OWN_ANSWERS (" + formatHexBytes(message) +
                    "): is it an older Quillon server?";
            return false;
        }
    }
}

std::uint16_t ServerLink::send(const Bytes& bytes) {
    client.sendBinary(bytes);
    return ++lastSent;  // 16 bits, wrapping as the server counts
}

WaitOutcome ServerLink::receive(Clock::time_point deadline, Bytes& message, bool honourInterrupt) {
    for (;;) {
        if (honourInterrupt && interruptRequested()) {
            return WaitOutcome::Interrupted;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return WaitOutcome::TimedOut;
        }
        const auto slice =
            std::min(kInterruptPoll, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        auto received = client.receive(slice);
        if (received) {
            if (!received->binary) {
                continue;
            }
            message = std::move(received->bytes);
            return WaitOutcome::Message;
        }
        if (!client.isOpen()) {
            return WaitOutcome::Closed;
        }
    }
}

WaitOutcome ServerLink::next(Clock::time_point deadline, ServerMessage& message,
                             bool honourInterrupt) {
    Bytes bytes;
    const WaitOutcome outcome = receive(deadline, bytes, honourInterrupt);
    if (outcome != WaitOutcome::Message) {
        return outcome;
    }
    message.own.reset();
    if (bytes.size() >= kOwnHeader && bytes[0] == OWN_ANSWERS) {
        message.own = static_cast<std::uint16_t>(bytes[1] | (bytes[2] << 8));
        bytes.erase(bytes.begin(), bytes.begin() + kOwnHeader);
    }
    message.bytes = std::move(bytes);
    return WaitOutcome::Message;
}

WaitOutcome ServerLink::request(const Bytes& command, Clock::time_point deadline,
                                std::uint16_t& sent, Bytes& answer, bool honourInterrupt) {
    sent = send(command);
    for (;;) {
        ServerMessage message;
        const WaitOutcome outcome = next(deadline, message, honourInterrupt);
        if (outcome != WaitOutcome::Message) {
            return outcome;
        }
        if (message.answers(sent)) {
            answer = std::move(message.bytes);
            return outcome;
        }
    }
}

WaitOutcome ServerLink::answerOf(std::uint16_t command, Clock::time_point deadline, Bytes& answer,
                                 bool honourInterrupt) {
    for (;;) {
        ServerMessage message;
        const WaitOutcome outcome = next(deadline, message, honourInterrupt);
        if (outcome != WaitOutcome::Message) {
            return outcome;
        }
        if (message.answers(command) && !message.bytes.empty()) {
            answer = std::move(message.bytes);
            return outcome;
        }
    }
}

WaitOutcome ServerLink::answerTo(const Bytes& command, Clock::time_point deadline, Bytes& answer) {
    std::uint16_t sent = 0;
    const WaitOutcome outcome = request(command, deadline, sent, answer);
    if (outcome != WaitOutcome::Message || !answer.empty()) {
        return outcome;
    }
    return answerOf(sent, deadline, answer);
}
