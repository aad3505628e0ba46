// quillonctl's connection to the server: binary messages in and out, waits
// with a deadline that Ctrl+C cuts short, and this client's own answers.
//
// Own answers: right after connecting, the link asks the server for them
// (OWN_ANSWERS). From then on every message the link sends is a numbered
// command, and the server answers each with one frame to this client alone,
// 31 seqLo seqHi and the command's immediate answer (nothing when it answers
// later or never); the later final answer of what a command started comes
// the same way under that command's number. So another client's answers,
// which arrive plain, are never taken for this client's.
//
// Threads: one thread uses a ServerLink; the WebSocket client below it
// receives on a thread of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/client/ws_client.h"

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

enum class WaitOutcome { Message, TimedOut, Closed, Interrupted };

// A message from the server. An answer of this client's own comes without its
// 31 seq header: `own` holds the number of the command it answers, and its
// bytes may be empty (the command was taken and answers later, or never).
struct ServerMessage {
    Bytes bytes;
    std::optional<std::uint16_t> own;

    bool answers(std::uint16_t command) const { return own && *own == command; }
};

class ServerLink {
  public:
    // Connects to ws://host:port/ and asks for own answers, giving up after
    // `timeout`. On failure, `error` says in words what went wrong.
    bool open(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
              std::string& error);
    // Sends a command; returns its number, which its own answers carry.
    std::uint16_t send(const Bytes& bytes);
    // The next binary message before `deadline`; text messages are skipped.
    // Ctrl+C ends the wait with Interrupted unless `honourInterrupt` is false.
    WaitOutcome next(Clock::time_point deadline, ServerMessage& message,
                     bool honourInterrupt = true);
    // Sends `command` and waits for its own frame: `answer` receives what the
    // command answered at once (empty: it was taken and answers later, or
    // never); `sent` is the command's number.
    WaitOutcome request(const Bytes& command, Clock::time_point deadline, std::uint16_t& sent,
                        Bytes& answer, bool honourInterrupt = true);
    // The next answer with bytes of the command numbered `command`; the other
    // messages before it are passed over.
    WaitOutcome answerOf(std::uint16_t command, Clock::time_point deadline, Bytes& answer,
                         bool honourInterrupt = true);
    // Both: the command's answer, at once or later.
    WaitOutcome answerTo(const Bytes& command, Clock::time_point deadline, Bytes& answer);
    bool isOpen() const { return client.isOpen(); }

  private:
    WaitOutcome receive(Clock::time_point deadline, Bytes& message, bool honourInterrupt);

    WsClient client;
    std::uint16_t lastSent = 0;  // the number of the last command sent
};

// "cannot reach the Quillon server at 127.0.0.1:8888 (is it running?)" and the
// like, from the WebSocket client's reason.
std::string unreachableText(const std::string& host, std::uint16_t port, const std::string& reason,
                            int httpStatus);
