// Messages from the Quillon server put into words, for people.
//
// Answers to commands and notifications share their first bytes (02 00 is the
// notification that an armband was found, 02 FF the refusal of a scan), so the
// words for a two-byte message cover what the pair can mean on its own.
// Everything here is a pure function of the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The status's name, "STATUS_OK" to "STATUS_NO_DEVICE", or "status 0x12"
// for a value that has none.
std::string statusName(std::uint8_t status);

// A gesture byte from the armband: "Relax", "Fist" ... "UserDefine9"; a
// value above 15 is "Undefined" followed by the value in brackets.
std::string armbandGestureText(std::uint8_t gesture);

// A gesture number in an identification report: "gesture 3" for 1 to 8,
// "no gesture" for 0xFF, "unknown gesture number 0x42" otherwise.
std::string identifiedGestureText(std::uint8_t number);

// The outcome of the raw EMG configuration (the 05 notification).
std::string configOutcomeText(std::uint8_t status);

// The end of a model upload (0C with 00 or F0) or its refusal (EF, FF, EE).
std::string uploadOutcomeText(std::uint8_t status);

// The status bytes after 0A in the answer to GENERATE_MODEL. Only the single
// status 00 means that a model was trained from every selected gesture.
std::string generateOutcomeText(const std::vector<std::uint8_t>& statuses);
bool generateSucceeded(const std::vector<std::uint8_t>& statuses);

// The answer to GET_VERSION: 0x30 and 35 characters "server/firmware/hardware".
struct VersionAnswer {
    std::string text;  // the 35 characters as sent
    std::string server;
    std::string firmware;
    std::string hardware;
};
bool parseVersionAnswer(const std::vector<std::uint8_t>& message, VersionAnswer& version);

// Any message from the server in one line of words.
std::string describeMessage(const std::vector<std::uint8_t>& message);
