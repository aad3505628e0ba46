// What every quillonctl subcommand shares: the session with the server, exit
// statuses, output, and the words for a wait that ended without its answer.
//
// Results go to standard output, one flushed line at a time (so that a reader
// at the other end of a pipe sees them as they come); problems go to standard
// error, prefixed "quillonctl: ".
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "protocol/wire.h"
#include "tools/client/http_client.h"
#include "tools/quillonctl/arguments.h"
#include "tools/quillonctl/server_link.h"

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

struct Session {
    explicit Session(const Invocation& invocation);

    const Invocation& invocation;
    ServerLink link;
    Clock::time_point started;        // of the command, or of the demo's current step
    std::chrono::milliseconds limit;  // how long after `started` the waits may go on
    bool terminal;

    // When the command's waiting ends: the start plus the time-out.
    Clock::time_point deadline() const { return started + limit; }
    std::chrono::milliseconds elapsed() const;
    // Starts the clock afresh for a step of a longer run that may wait `stepLimit`.
    void beginStep(std::chrono::milliseconds stepLimit);
};

// One call of the server's HTTP API within the command's wait limit. A server
// that cannot be reached is said in the words a WebSocket command uses.
bool serverHttpCall(const Invocation& invocation, const HttpCall& call, HttpReply& reply,
                    std::string& error);

// Prints a line of results.
void say(const std::string& line);
// Prints a problem and returns kExitFailed.
int fail(const std::string& problem);

// The exit status and message for a wait that ended without its answer:
// "no answer within 10.0 s: waited for the notification that an armband was
// found (02 00)", a closed connection or Ctrl+C. `hint` follows the message
// of a time-out when not empty.
int waitFailed(const Session& session, WaitOutcome outcome, const std::string& waitedFor,
               const std::string& hint = {});

// "[  12.3 s]": the time since the start, for lines of a stream.
std::string timeTag(std::chrono::milliseconds elapsed);

// How long a stop waits for the answer that ends what it stops.
inline constexpr std::chrono::seconds kStopWait{5};
// How long the wearer control may take to answer.
inline constexpr std::chrono::seconds kWearerWait{5};
// The notification that the armband disconnected.
inline const Bytes kDisconnected{kNotifyDisconnected, STATUS_OK};

// "02 00  device found: ..." : a message's bytes and its words.
std::string messageLine(const Bytes& message);
