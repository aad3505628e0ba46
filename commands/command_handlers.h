// The commands, one function each, shared by the dispatcher and its tests.
// Each appends its response code and then, when it answers at once, a status
// and any further bytes. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct CommandFrame {
    const std::uint8_t* bytes;
    std::size_t length;
};

using Response = std::vector<std::uint8_t>;

void commandPing(const CommandFrame& frame, Response& response);
void commandGetVersion(const CommandFrame& frame, Response& response);
void commandExitServer(const CommandFrame& frame, Response& response);

void commandScanDevice(const CommandFrame& frame, Response& response);
void commandConnectDevice(const CommandFrame& frame, Response& response);
void commandDisconnectDevice(const CommandFrame& frame, Response& response);
void commandStartGestureStream(const CommandFrame& frame, Response& response);
void commandStopGestureStream(const CommandFrame& frame, Response& response);
void commandStartPreview(const CommandFrame& frame, Response& response);
void commandStopPreview(const CommandFrame& frame, Response& response);

// Before anything else switches the raw stream (a recording, the armband's
// gesture stream, the end of identification): a preview that runs ends, and
// every client hears 12 FD.
void endPreview();

void commandSetEmgConfig(const CommandFrame& frame, Response& response);
void commandStartRecord(const CommandFrame& frame, Response& response);
void commandStopRecord(const CommandFrame& frame, Response& response);
void commandStartIdentify(const CommandFrame& frame, Response& response);
void commandStopIdentify(const CommandFrame& frame, Response& response);
void commandGenerateModel(const CommandFrame& frame, Response& response);
void commandStopGenerateModel(const CommandFrame& frame, Response& response);
void commandModelUpdate(const CommandFrame& frame, Response& response);
void commandStopModelUpdate(const CommandFrame& frame, Response& response);

// After leaving RECORD_MODE: the open window is abandoned (its end writes and
// answers nothing), the raw stream switched off and the timer stopped.
void abandonRecording();

// How long a recording window lasts: the frames that fill it, and the real
// time after which a window the armband has not filled is given up (06 F0).
struct WindowLimits {
    std::uint32_t frames;
    std::int64_t timeLimitMs;
};

// START_RECORD with a window of any length; the command uses 19500 frames
// (30 s of EMG). Refused (06 FF) without configured channels, and when one
// more window would take the gesture's raw file past what training takes.
void startRecordingWindow(const CommandFrame& frame, Response& response, WindowLimits limits);
