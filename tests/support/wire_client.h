#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/client/ws_client.h"

using Bytes = std::vector<std::uint8_t>;

// A WebSocket client of the server under test, with the waits tests need.
class WireClient {
  public:
    // Connects to the server on `host` (127.0.0.1 unless given); check connected().
    explicit WireClient(std::uint16_t port, const std::string& origin = {},
                        const std::string& host = "127.0.0.1", const std::string& target = "/");
    bool connected() const { return ok; }
    const std::string& error() const { return failure; }
    int httpStatus() const { return status; }

    void send(const Bytes& bytes) { client.sendBinary(bytes); }
    void sendText(const std::string& text) { client.sendText(text); }
    std::optional<Bytes> next(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Skips messages until one starts with `code`; preview frames (0x07) and
    // other codes in between are dropped.
    std::optional<Bytes> nextWithCode(std::uint8_t code,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // True when nothing arrives within the time-out.
    bool silentFor(std::chrono::milliseconds timeout);
    bool open() const { return client.isOpen(); }
    WsClient& raw() { return client; }

  private:
    WsClient client;
    bool ok = false;
    int status = 0;
    std::string failure;
};

// Scans for the armband and connects it, asserting the notifications 02 00
// and 03 00; call through ASSERT_NO_FATAL_FAILURE.
void scanAndConnect(WireClient& client);
// SET_EMG_CONFIG, asserting the armband's 05 00.
void configureEmg(WireClient& client, std::uint8_t channels, std::uint8_t gestures);
// Sends `command` and returns the first message with its answer's code (a
// stop answers with the code of the start it ends), or no bytes after `timeout`.
Bytes answerTo(WireClient& client, const Bytes& command, std::chrono::milliseconds timeout);

Bytes bytesOf(const std::string& text);
std::string hex(const Bytes& bytes);

// Sends one command to the simulated armband's wearer control on 127.0.0.1
// and returns its answer ("ok ..." or "error: ..."); empty when unreachable.
std::string simCommand(const std::string& line, std::uint16_t port);
