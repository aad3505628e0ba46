// Client commands: one binary message each, byte 0 the command code. Answers
// go to every connected client (own answers aside, server/client_registry.h);
// a command that has nothing to say at once answers later through
// notifications, or not at all.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/event_record.h"

// Command codes.
inline constexpr std::uint8_t PING = 0x01;
inline constexpr std::uint8_t SCAN_DEVICE = 0x02;
inline constexpr std::uint8_t CONNECT_DEVICE = 0x03;
inline constexpr std::uint8_t DISCONNECT_DEVICE = 0x04;
inline constexpr std::uint8_t SET_EMG_CONFIG = 0x05;
inline constexpr std::uint8_t START_RECORD = 0x06;
inline constexpr std::uint8_t STOP_RECORD = 0x07;
inline constexpr std::uint8_t START_IDENTIFY = 0x08;
inline constexpr std::uint8_t STOP_IDENTIFY = 0x09;
inline constexpr std::uint8_t GENERATE_MODEL = 0x0A;
inline constexpr std::uint8_t STOP_GENERATE_MODEL = 0x0B;
inline constexpr std::uint8_t MODEL_UPDATE = 0x0C;
inline constexpr std::uint8_t STOP_MODEL_UPDATE = 0x0D;
inline constexpr std::uint8_t START_GESTURE_STREAM = 0x10;
inline constexpr std::uint8_t STOP_GESTURE_STREAM = 0x11;
inline constexpr std::uint8_t START_PREVIEW = 0x12;
inline constexpr std::uint8_t STOP_PREVIEW = 0x13;
inline constexpr std::uint8_t GET_VERSION = 0x30;
inline constexpr std::uint8_t OWN_ANSWERS = 0x31;
inline constexpr std::uint8_t EXIT_SERVER = 0xFF;

// Status bytes of answers.
inline constexpr std::uint8_t STATUS_OK = 0x00;
inline constexpr std::uint8_t STATUS_FAILED = 0xFF;
inline constexpr std::uint8_t STATUS_STOPPED = 0xFD;
inline constexpr std::uint8_t STATUS_WRONG_MODE = 0xFC;
inline constexpr std::uint8_t STATUS_BAD_LENGTH = 0xEF;
inline constexpr std::uint8_t STATUS_FILE_ERROR = 0xEE;

class ServerContext;

// The APP_CLIENT_EVT handler (main thread), for a message of the client
// `from`. `length` is the whole message's length: every length test compares
// it, so an over-long frame fails its test. A client that asked for its own
// answers (OWN_ANSWERS) gets, for every message, one frame of its own: 31 seq
// and the immediate answer, if any.
void handleClientCommands(ServerContext& server, const Origin& from, const std::uint8_t* payload,
                          std::size_t length);
