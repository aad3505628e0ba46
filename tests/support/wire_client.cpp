#include "tests/support/wire_client.h"

#include <gtest/gtest.h>

#include <cstdio>

WireClient::WireClient(std::uint16_t port, const std::string& origin, const std::string& host,
                       const std::string& target) {
    WsConnectOptions options;
    options.origin = origin;
    options.target = target;
    ok = client.connect(host, port, failure, options, &status);
}

std::optional<Bytes> WireClient::next(std::chrono::milliseconds timeout) {
    auto message = client.receive(timeout);
    if (!message) {
        return std::nullopt;
    }
    return message->bytes;
}

std::optional<Bytes> WireClient::nextWithCode(std::uint8_t code,
                                              std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        auto message = next(left);
        if (!message) {
            return std::nullopt;
        }
        if (!message->empty() && (*message)[0] == code) {
            return message;
        }
    }
}

bool WireClient::silentFor(std::chrono::milliseconds timeout) {
    return !next(timeout);
}

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string hex(const Bytes& bytes) {
    std::string text;
    char part[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(part, sizeof part, "%02X ", byte);
        text += part;
    }
    return text;
}

std::string simCommand(const std::string& line, std::uint16_t port) {
    WireClient control(port);
    if (!control.connected()) {
        return {};
    }
    control.sendText(line);
    const auto answer = control.next();
    return answer ? std::string(answer->begin(), answer->end()) : std::string();
}

void scanAndConnect(WireClient& client) {
    client.send({0x02, 0x00});
    ASSERT_EQ(client.nextWithCode(0x02), (Bytes{0x02, 0x00}));
    client.send({0x03});
    ASSERT_EQ(client.nextWithCode(0x03), (Bytes{0x03, 0x00}));
}

Bytes answerTo(WireClient& client, const Bytes& command, std::chrono::milliseconds timeout) {
    const bool stop =
        command[0] == 0x07 || command[0] == 0x09 || command[0] == 0x11 || command[0] == 0x13;
    client.send(command);
    return client.nextWithCode(static_cast<std::uint8_t>(command[0] - (stop ? 1 : 0)), timeout)
        .value_or(Bytes{});
}

void configureEmg(WireClient& client, std::uint8_t channels, std::uint8_t gestures) {
    client.send({0x05, channels, gestures});
    ASSERT_EQ(client.nextWithCode(0x05), (Bytes{0x05, 0x00}));
}
