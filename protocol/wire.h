// The binary protocol between the server and its clients, defined once: the
// server, quillonctl and the tools take every code from here, and the page's
// table (web/js/protocol.js) is checked against it by a test.
//
// One WebSocket message each way. A command's byte 0 is its code, the bytes
// after it its arguments. An answer is the command's code, then a status (a
// few carry more); a stop command is answered with the code of the start it
// ends. Notifications, preview frames and identification reports come unasked.
// Constants only: any folder may include this header.
#pragma once

#include <cstddef>
#include <cstdint>

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
// A client asks to be told its own answers apart: each then comes to it alone
// as OWN_ANSWERS, the command's number (two bytes, low first) and the answer.
inline constexpr std::uint8_t OWN_ANSWERS = 0x31;
inline constexpr std::uint8_t EXIT_SERVER = 0xFF;

// Status bytes: byte 1 of an answer or a notification.
inline constexpr std::uint8_t STATUS_OK = 0x00;
inline constexpr std::uint8_t STATUS_FAILED = 0xFF;
inline constexpr std::uint8_t STATUS_STOPPED = 0xFD;
inline constexpr std::uint8_t STATUS_WRONG_MODE = 0xFC;
inline constexpr std::uint8_t STATUS_BAD_LENGTH = 0xEF;
inline constexpr std::uint8_t STATUS_FILE_ERROR = 0xEE;
inline constexpr std::uint8_t STATUS_DEVICE_ERROR = 0xF0;  // the armband refused or never answered
inline constexpr std::uint8_t STATUS_NO_SETTING = 0xF1;    // the armband offers no settings
inline constexpr std::uint8_t STATUS_NO_DEVICE = 0xF2;     // no armband is known
// Every status but STATUS_OK lies from here to 0xFF, above every gesture
// number that shares byte 1 with the statuses (reports 08 G and 10 G).
inline constexpr std::uint8_t kLowestFailureStatus = STATUS_FILE_ERROR;

// Answers sent apart from the command they answer, by the code they carry.
inline constexpr std::uint8_t kConnectAnswer = CONNECT_DEVICE;   // 03 F0: the connect given up
inline constexpr std::uint8_t kRecordAnswer = START_RECORD;      // the end of a recording window
inline constexpr std::uint8_t kIdentifyAnswer = START_IDENTIFY;  // 08 and a gesture number
inline constexpr std::uint8_t kPreviewAnswer = START_PREVIEW;    // 12 00 first, 12 FD last
inline constexpr std::uint8_t kVersionAnswer = GET_VERSION;      // 30 and the version text

// Notification codes: two bytes, code then value, sent unasked. Most share
// their code with the answer of the command that leads to them.
inline constexpr std::uint8_t kNotifyDeviceFound = 0x02;
inline constexpr std::uint8_t kNotifyConnected = 0x03;
inline constexpr std::uint8_t kNotifyDisconnected = 0x04;
inline constexpr std::uint8_t kNotifyRawConfig = 0x05;       // the armband's answer to 05
inline constexpr std::uint8_t kNotifyUploadDone = 0x0C;      // 00 or F0
inline constexpr std::uint8_t kNotifyUploadProgress = 0x0D;  // a percentage, 0 to 100
inline constexpr std::uint8_t kNotifyGesture = 0x10;         // the gesture the armband saw

// A preview frame: this code, then rows 0, 4, 8 and 12 of a raw packet, each
// one unsigned sample per streamed channel.
inline constexpr std::uint8_t kPreviewFrameCode = 0x07;
inline constexpr std::size_t kPreviewRows = 4;

// The gesture number of an identification report that names no gesture.
inline constexpr std::uint8_t kNoGesture = 0xFF;

// The answer to GET_VERSION: "server/firmware/hardware", each ddd.ddd.ddd.
inline constexpr const char* serverVersion = "000.005.002";
inline constexpr const char* kUnknownVersion = "---.---.---";
inline constexpr std::size_t kVersionTextLength = 35;
