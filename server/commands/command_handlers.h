// The commands, one function each, shared by the dispatcher and its tests.
// Each appends its response code and then, when it answers at once, a status
// and any further bytes. A command that starts something the armband or the
// background worker finishes answers later, for frame.origin. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/event_record.h"

class ServerContext;

struct CommandFrame {
    const std::uint8_t* bytes;
    std::size_t length;
    Origin origin;  // whom its answers are for
};

// A command's immediate answer, the code and then (when it answers at once)
// the status and any further bytes.
struct Response : std::vector<std::uint8_t> {
    // The answer is also the final answer of what another command started
    // (a stop that ends it): that command's client gets it as its own too.
    std::optional<Origin> alsoFor;
    // The command has given its answer itself, to keep it in order with what
    // other threads send (the preview's answers and frames): the dispatcher
    // sends nothing more for it.
    bool answered = false;
};
using Command = void (*)(ServerContext& server, const CommandFrame& frame, Response& response);

void commandPing(ServerContext& server, const CommandFrame& frame, Response& response);
void commandGetVersion(ServerContext& server, const CommandFrame& frame, Response& response);
void commandExitServer(ServerContext& server, const CommandFrame& frame, Response& response);

void commandScanDevice(ServerContext& server, const CommandFrame& frame, Response& response);
void commandConnectDevice(ServerContext& server, const CommandFrame& frame, Response& response);
void commandDisconnectDevice(ServerContext& server, const CommandFrame& frame, Response& response);
void commandStartGestureStream(ServerContext& server, const CommandFrame& frame,
                               Response& response);
void commandStopGestureStream(ServerContext& server, const CommandFrame& frame, Response& response);
void commandStartPreview(ServerContext& server, const CommandFrame& frame, Response& response);
void commandStopPreview(ServerContext& server, const CommandFrame& frame, Response& response);

void commandSetEmgConfig(ServerContext& server, const CommandFrame& frame, Response& response);
void commandStartRecord(ServerContext& server, const CommandFrame& frame, Response& response);
void commandStopRecord(ServerContext& server, const CommandFrame& frame, Response& response);
void commandStartIdentify(ServerContext& server, const CommandFrame& frame, Response& response);
void commandStopIdentify(ServerContext& server, const CommandFrame& frame, Response& response);
void commandGenerateModel(ServerContext& server, const CommandFrame& frame, Response& response);
void commandStopGenerateModel(ServerContext& server, const CommandFrame& frame, Response& response);
void commandModelUpdate(ServerContext& server, const CommandFrame& frame, Response& response);
void commandStopModelUpdate(ServerContext& server, const CommandFrame& frame, Response& response);

// Asks the armband for its versions, unless an answer is under way already;
// `waiter`, when given, is a GET_VERSION answered with them.
void askForVersions(ServerContext& server, const std::optional<Origin>& waiter);
// Runs `then` once the connected armband's versions are known: at once when
// they are (or no armband is connected), else when the answer under way (or
// asked for now) is in.
void whenVersionsKnown(ServerContext& server, std::function<void()> then);

// How long a recording window lasts: the frames that fill it, and the real
// time after which a window the armband has not filled is given up (06 F0).
struct WindowLimits {
    std::uint32_t frames;
    std::int64_t timeLimitMs;
};

// START_RECORD with a window of any length; the command uses 19500 frames
// (30 s of EMG). Refused (06 FF) without configured channels, and when one
// more window would take the gesture's raw file past what training takes.
void startRecordingWindow(ServerContext& server, const CommandFrame& frame, Response& response,
                          WindowLimits limits);
