// quillonctl's connection to the simulated armband's wearer control
// (ws://host:simPort/): text commands such as "perform 1", "hold 2" or "rest",
// each answered with one text that begins "ok" or "error: ".
//
// Threads: one thread uses a WearerLink. Its waits are not cut short by Ctrl+C:
// the wearer answers at once, and a run that was stopped still sends "rest".
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "tools/client/ws_client.h"

class WearerLink {
  public:
    // Connects, giving up after `timeout`; on failure `error` says why in words.
    bool open(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
              std::string& error);
    // Sends `line` and waits up to `wait` for its answer. False, with the reason
    // in `error`, when none came; the answer itself may be "error: ...".
    bool command(const std::string& line, std::chrono::milliseconds wait, std::string& answer,
                 std::string& error);
    // Like command, but an answer that does not begin "ok" is a failure too.
    bool require(const std::string& line, std::chrono::milliseconds wait, std::string& error);

  private:
    WsClient client;
    std::string where;  // "host:port", for the messages
};
