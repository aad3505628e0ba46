// Which way live identification decides: the application-wide choice.
//
// `exact` is the classifier identification has always used: fixed movement
// thresholds, and a class held once it has been decided three times. It stays
// the default. `calibrated` classifies with the recogniser trained beside the
// model on the wearer's own recordings (signal/recogniser.h): rest is a class
// of its own, and a vote over the last decisions makes the report hold.
//
// The choice is the server's (ServerContext::identifyMode, main thread): the
// command line sets it at start-up and a settings endpoint may set it later.
// It is read when identification starts; a run keeps the mode it started with.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

enum class IdentifyMode : std::uint8_t { exact, calibrated };

// "exact" or "calibrated".
const char* identifyModeName(IdentifyMode mode);
// The mode of that name; nothing for any other text.
std::optional<IdentifyMode> identifyModeNamed(std::string_view name);
