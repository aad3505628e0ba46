// The command line of quillonctl, read into an Invocation. Pure: no output,
// no networking; every error is a sentence for the user.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CommandSpec;

struct Invocation {
    std::string host = "127.0.0.1";
    std::uint16_t port = 8888;
    std::uint16_t simPort = 8889;
    double simSpeed = 1.0;  // --sim-speed: the server's, so that windows and holds keep pace
    std::optional<std::chrono::milliseconds> timeout;  // --timeout; else the command's own
    const CommandSpec* command = nullptr;              // never null after a good parse
    const CommandSpec* helpTopic = nullptr;            // `help NAME` or `NAME --help`
    std::uint8_t channelMask = 0;                      // config
    std::uint8_t gestureMask = 0;                      // config
    std::uint8_t gesture = 0;                          // record, 1 to 8
    std::vector<std::uint8_t> frame;                   // send
    std::string simCommand;                            // sim: the words joined by spaces
    std::vector<std::uint8_t> gestures{1, 2, 3};       // demo: --gestures, in the order given
    std::string identifyMode = "calibrated";           // identify, demo: --mode
    std::string exportFormat;                          // export: "csv" or "edf"
    std::string exportPath;                            // export: --csv FILE or --edf FILE
    std::optional<std::vector<std::string>> names;     // names: the names given, if any

    std::chrono::milliseconds waitLimit() const;
};

// Reads the arguments after the program name. Global options may stand
// anywhere before the words of `sim`, as "--port 1" or "--port=1"; `--help`
// alone or without a command asks for the usage text (command Help).
bool parseArguments(const std::vector<std::string>& arguments, Invocation& invocation,
                    std::string& error);

// A mask of 1 to 255, decimal ("7") or hex with 0x ("0x07"); `what` names it
// in the error.
bool parseMask(std::string_view text, std::string_view what, std::uint8_t& mask,
               std::string& error);
// A gesture number for recording, 1 to 8.
bool parseGestureNumber(std::string_view text, std::uint8_t& gesture, std::string& error);
// The demo's gestures: two to eight distinct numbers 1 to 8 separated by
// commas ("1,2,3"), kept in the order given.
bool parseGestureList(std::string_view text, std::vector<std::uint8_t>& gestures,
                      std::string& error);
// Gesture names for gestures 1, 2, ... separated by commas ("Fist,Open hand"),
// each trimmed of blanks; an empty one leaves its gesture without a name.
bool parseGestureNames(std::string_view text, std::vector<std::string>& names, std::string& error);
// The server's --sim-speed, 1 to 1000, with an optional fraction.
bool parseSpeed(std::string_view text, double& speed, std::string& error);
// A TCP port, 1 to 65535.
bool parsePort(std::string_view text, std::string_view what, std::uint16_t& port,
               std::string& error);
// A time-out in seconds, more than 0 and at most a day, with an optional
// fraction ("0.5"); rounded to whole milliseconds.
bool parseSeconds(std::string_view text, std::chrono::milliseconds& timeout, std::string& error);
