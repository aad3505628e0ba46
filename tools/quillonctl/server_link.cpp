#include "tools/quillonctl/server_link.h"

#include <algorithm>

#include "protocol/wire.h"
#include "tools/quillonctl/interrupt.h"

namespace {

// How often a wait looks at the Ctrl+C flag.
constexpr std::chrono::milliseconds kInterruptPoll{100};
const Bytes kPing{PING};
const Bytes kPingAnswer{PING, STATUS_OK};

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
    return true;
}

void ServerLink::send(const Bytes& bytes) {
    client.sendBinary(bytes);
}

WaitOutcome ServerLink::next(Clock::time_point deadline, Bytes& message, bool honourInterrupt) {
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

WaitOutcome ServerLink::sendFenced(const Bytes& command, Clock::time_point deadline,
                                   std::vector<Bytes>& before) {
    send(command);
    send(kPing);
    for (;;) {
        Bytes message;
        const WaitOutcome outcome = next(deadline, message);
        if (outcome != WaitOutcome::Message || message == kPingAnswer) {
            return outcome;
        }
        before.push_back(std::move(message));
    }
}
