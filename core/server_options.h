// The server's command line. With no options the server behaves exactly as
// it always has: port 8888, the wearer control of the simulated armband on
// 8889, everything at real speed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "identify/identify_mode.h"

struct ServerOptions {
    // TCP port of the WebSocket server; 0 picks a free one.
    std::uint16_t port = 8888;
    bool portGiven = false;  // the listening port is logged when --port was given
    // TCP port of the simulated armband's wearer control on 127.0.0.1; 0 picks
    // a free one.
    std::uint16_t simControlPort = 8889;
    bool simControlPortGiven = false;
    // The simulated armband streams this many times faster than real time and
    // its delays shrink as much; the recording window shrinks with it, so a
    // window still holds 30 s of EMG.
    double simSpeed = 1.0;
    // How live identification decides (identify/identify_mode.h).
    IdentifyMode identifyMode = IdentifyMode::exact;
    bool identifyModeGiven = false;  // the mode is logged when --identify-mode was given
    // Where the server keeps its files; empty: the working directory.
    std::string dataDir;
};

enum class OptionsOutcome { Run, Help, Invalid };

// Reads the arguments after the program name. On Invalid, `error` says what
// was wrong in a sentence.
OptionsOutcome parseServerOptions(const std::vector<std::string>& arguments, ServerOptions& options,
                                  std::string& error);

// The usage text that --help prints.
std::string serverUsage();

// The recording window at the given speed, in milliseconds of real time.
std::int64_t recordingWindowMsAt(double simSpeed);
