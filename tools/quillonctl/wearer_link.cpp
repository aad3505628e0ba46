#include "tools/quillonctl/wearer_link.h"

bool WearerLink::open(const std::string& host, std::uint16_t port,
                      std::chrono::milliseconds timeout, std::string& error) {
    where = host + ":" + std::to_string(port);
    WsConnectOptions options;
    options.timeout = timeout;
    std::string reason;
    if (!client.connect(host, port, reason, options)) {
        error = "cannot reach the simulated armband's wearer control at " + where +
                " (is the server running with the simulated armband?): " + reason;
        return false;
    }
    return true;
}

bool WearerLink::command(const std::string& line, std::chrono::milliseconds wait,
                         std::string& answer, std::string& error) {
    using Clock = std::chrono::steady_clock;
    client.sendText(line);
    const auto deadline = Clock::now() + wait;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        auto received = left.count() > 0 ? client.receive(left) : std::nullopt;
        if (!received) {
            error = "no answer from the wearer control at " + where + " within " +
                    std::to_string(wait.count() / 1000) + " s";
            return false;
        }
        if (!received->binary) {
            answer.assign(received->bytes.begin(), received->bytes.end());
            return true;
        }
    }
}

bool WearerLink::require(const std::string& line, std::chrono::milliseconds wait,
                         std::string& error) {
    std::string answer;
    if (!command(line, wait, answer, error)) {
        return false;
    }
    if (answer.rfind("ok", 0) != 0) {
        error = "the wearer control answered \"" + line + "\" with: " + answer;
        return false;
    }
    return true;
}
