// The server's command line. With no options the server listens on port 8888
// of the loopback addresses only, the wearer control of the simulated armband
// is on 8889, and everything runs at real speed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "signal/identify_mode.h"

struct ServerOptions {
    // TCP port of the WebSocket server; 0 picks a free one.
    std::uint16_t port = 8888;
    bool portGiven = false;  // the listening port is logged when --port was given
    // An address beyond loopback to listen on as well ("0.0.0.0" or "::" for
    // every one); empty: loopback only. Peers beyond loopback need the token.
    std::string listenAddress;
    // Origins whose pages may use the server besides its own (--allow-origin),
    // and further names requests may address it by (--allow-host).
    std::vector<std::string> allowedOrigins;
    std::vector<std::string> allowedHosts;
    // TCP port of the simulated armband's wearer control on 127.0.0.1; 0 picks
    // a free one.
    std::uint16_t simControlPort = 8889;
    bool simControlPortGiven = false;
    // The simulated armband streams this many times faster than real time and
    // its delays shrink as much; the recording window shrinks with it, so a
    // window still holds 30 s of EMG.
    double simSpeed = 1.0;
    // How live identification decides (signal/identify_mode.h).
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
