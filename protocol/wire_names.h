// The names of the protocol's codes (wire.h), for texts meant for people. The
// page's table (web/js/protocol.js) uses the same names, the statuses without
// their "STATUS_".
#pragma once

#include <cstdint>
#include <span>

#include "protocol/wire.h"

struct WireName {
    std::uint8_t code;
    const char* name;
};

inline constexpr WireName kCommandNames[] = {
    {PING, "PING"},
    {SCAN_DEVICE, "SCAN_DEVICE"},
    {CONNECT_DEVICE, "CONNECT_DEVICE"},
    {DISCONNECT_DEVICE, "DISCONNECT_DEVICE"},
    {SET_EMG_CONFIG, "SET_EMG_CONFIG"},
    {START_RECORD, "START_RECORD"},
    {STOP_RECORD, "STOP_RECORD"},
    {START_IDENTIFY, "START_IDENTIFY"},
    {STOP_IDENTIFY, "STOP_IDENTIFY"},
    {GENERATE_MODEL, "GENERATE_MODEL"},
    {STOP_GENERATE_MODEL, "STOP_GENERATE_MODEL"},
    {MODEL_UPDATE, "MODEL_UPDATE"},
    {STOP_MODEL_UPDATE, "STOP_MODEL_UPDATE"},
    {START_GESTURE_STREAM, "START_GESTURE_STREAM"},
    {STOP_GESTURE_STREAM, "STOP_GESTURE_STREAM"},
    {START_PREVIEW, "START_PREVIEW"},
    {STOP_PREVIEW, "STOP_PREVIEW"},
    {GET_VERSION, "GET_VERSION"},
    {OWN_ANSWERS, "OWN_ANSWERS"},
    {EXIT_SERVER, "EXIT_SERVER"},
};

inline constexpr WireName kStatusNames[] = {
    {STATUS_OK, "STATUS_OK"},
    {STATUS_FAILED, "STATUS_FAILED"},
    {STATUS_STOPPED, "STATUS_STOPPED"},
    {STATUS_WRONG_MODE, "STATUS_WRONG_MODE"},
    {STATUS_BAD_LENGTH, "STATUS_BAD_LENGTH"},
    {STATUS_FILE_ERROR, "STATUS_FILE_ERROR"},
    {STATUS_DEVICE_ERROR, "STATUS_DEVICE_ERROR"},
    {STATUS_NO_SETTING, "STATUS_NO_SETTING"},
    {STATUS_NO_DEVICE, "STATUS_NO_DEVICE"},
};

// Byte 0 of the messages the server sends, by what they bring.
inline constexpr WireName kAnswerNames[] = {
    {PING, "PING"},
    {kNotifyDeviceFound, "DEVICE_FOUND"},
    {kNotifyConnected, "CONNECTED"},
    {kNotifyDisconnected, "DISCONNECTED"},
    {kNotifyRawConfig, "EMG_CONFIG"},
    {kRecordAnswer, "RECORD"},
    {kPreviewFrameCode, "PREVIEW"},
    {kIdentifyAnswer, "IDENTIFY"},
    {GENERATE_MODEL, "GENERATE"},
    {kNotifyUploadDone, "UPLOAD"},
    {kNotifyUploadProgress, "UPLOAD_PROGRESS"},
    {kNotifyGesture, "GESTURE_STREAM"},
    {kPreviewAnswer, "PREVIEW_STREAM"},
    {kVersionAnswer, "VERSION"},
    {OWN_ANSWERS, "OWN"},
};

// The name of `code` in `names`; nullptr when it has none there.
constexpr const char* wireName(std::span<const WireName> names, std::uint8_t code) {
    for (const WireName& entry : names) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return nullptr;
}
