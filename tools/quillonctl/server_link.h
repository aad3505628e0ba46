// quillonctl's connection to the server: binary messages in and out, waits
// with a deadline that Ctrl+C cuts short, and the fence that tells a
// command's immediate answers from what comes later.
//
// Threads: one thread uses a ServerLink; the WebSocket client below it
// receives on a thread of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/client/ws_client.h"

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

enum class WaitOutcome { Message, TimedOut, Closed, Interrupted };

class ServerLink {
  public:
    // Connects to ws://host:port/, giving up after `timeout`. On failure,
    // `error` says in words what went wrong.
    bool open(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
              std::string& error);
    void send(const Bytes& bytes);
    // The next binary message before `deadline`; text messages are skipped.
    // Ctrl+C ends the wait with Interrupted unless `honourInterrupt` is false.
    WaitOutcome next(Clock::time_point deadline, Bytes& message, bool honourInterrupt = true);
    // Sends `command`, then a PING. The server carries out commands one after
    // another and answers each before it reads the next, so whatever the
    // command answers at once arrives before the PING's 01 00; the messages
    // that came before it are returned in `before`. Message ends the wait at
    // the PING's answer.
    WaitOutcome sendFenced(const Bytes& command, Clock::time_point deadline,
                           std::vector<Bytes>& before);
    bool isOpen() const { return client.isOpen(); }

  private:
    WsClient client;
};

// "cannot reach the Quillon server at 127.0.0.1:8888 (is it running?)" and the
// like, from the WebSocket client's reason.
std::string unreachableText(const std::string& host, std::uint16_t port, const std::string& reason,
                            int httpStatus);
