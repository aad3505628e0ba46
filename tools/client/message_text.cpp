#include "tools/client/message_text.h"

#include <cstdio>

#include "protocol/wire.h"
#include "protocol/wire_names.h"
#include "server/device/gesture_names.h"
#include "tools/client/preview_frame.h"

namespace {

constexpr std::uint8_t kHighestGestureNumber = 8;

std::string hexByte(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// "NAME (meaning)", or the bare name when there is nothing to add.
std::string named(std::uint8_t status, const std::string& meaning) {
    return meaning.empty() ? statusName(status) : statusName(status) + " (" + meaning + ")";
}

// What an answer of the armband's statuses (F0, F1, F2) means; empty for others.
std::string armbandMeaning(std::uint8_t status) {
    switch (status) {
        case STATUS_DEVICE_ERROR:
            return "the armband refused or did not answer";
        case STATUS_NO_SETTING:
            return "the armband offers no settings; reconnect it";
        case STATUS_NO_DEVICE:
            return "no armband is connected; scan and connect first";
        default:
            return {};
    }
}

std::string twoByteText(std::uint8_t code, std::uint8_t value) {
    const std::string armband = armbandMeaning(value);
    switch (code) {
        case PING:
            return value == STATUS_OK ? "PING answered: STATUS_OK"
                                      : "PING refused: " + named(value, "wrong length");
        case kNotifyDeviceFound:
            if (value == STATUS_OK) {
                return "device found: an armband answered the scan and can be connected";
            }
            if (value == STATUS_STOPPED) {
                return "scan stopped: STATUS_STOPPED";
            }
            if (value == STATUS_DEVICE_ERROR) {
                return "scan ended: " + named(value, "no armband found within 30 s");
            }
            return "SCAN_DEVICE refused: " + named(value, "the scan could not start");
        case CONNECT_DEVICE:
            if (value == STATUS_OK) {
                return "armband connected";
            }
            if (value == STATUS_NO_DEVICE) {
                return "CONNECT_DEVICE refused: " + named(value, "no armband is known; scan first");
            }
            return "CONNECT_DEVICE refused: " +
                   named(value, !armband.empty() ? armband : "it is connecting or connected");
        case DISCONNECT_DEVICE:
            if (value == STATUS_OK) {
                return "armband disconnected";
            }
            return "DISCONNECT_DEVICE refused: " + named(value, value == STATUS_NO_DEVICE
                                                                    ? "no armband is known"
                                                                    : "no armband is connected");
        case kNotifyRawConfig:
            return configOutcomeText(value);
        case kRecordAnswer:
            if (value == STATUS_OK) {
                return "recording window closed: STATUS_OK (raw file written)";
            }
            if (value == STATUS_STOPPED) {
                return "recording stopped: STATUS_STOPPED (nothing written)";
            }
            if (value == STATUS_DEVICE_ERROR) {
                return "recording failed: " +
                       named(value,
                             "the armband refused the stream or did not send the window's "
                             "frames in time; nothing written");
            }
            if (value == STATUS_NO_DEVICE) {
                return "recording failed: " +
                       named(value, "no armband, or its link dropped; nothing written");
            }
            if (!armband.empty()) {
                return "START_RECORD failed: " + named(value, armband);
            }
            return "recording failed: " +
                   named(value,
                         "refused when not idle or not recording, with no channels configured "
                         "or a raw file that would pass what training takes, or the raw file "
                         "could not be written");
        case kIdentifyAnswer:
            if (value == STATUS_STOPPED) {
                return "identification stopped: STATUS_STOPPED";
            }
            if (value == STATUS_FAILED) {
                return "identified: no gesture (or START_IDENTIFY refused: STATUS_FAILED)";
            }
            if (!armband.empty()) {
                return "START_IDENTIFY failed: " + named(value, armband);
            }
            return "identified: " + identifiedGestureText(value);
        case GENERATE_MODEL:
            return "model generation: " + generateOutcomeText({value});
        case MODEL_UPDATE:
            return uploadOutcomeText(value);
        case kNotifyUploadProgress:
            return "model upload progress: " + std::to_string(value) + "%";
        case kNotifyGesture:
            if (value == STATUS_WRONG_MODE) {
                return "gesture stream refused: STATUS_WRONG_MODE (the server is busy, or no "
                       "gesture stream runs)";
            }
            if (value == STATUS_STOPPED) {
                return "gesture stream stopped: STATUS_STOPPED";
            }
            if (!armband.empty()) {
                return "START_GESTURE_STREAM failed: " + named(value, armband);
            }
            return "armband gesture: " + armbandGestureText(value);
        case kPreviewAnswer:
            if (value == STATUS_OK) {
                return "signal preview on: STATUS_OK";
            }
            if (value == STATUS_STOPPED) {
                return "signal preview off: STATUS_STOPPED";
            }
            if (!armband.empty()) {
                return "START_PREVIEW failed: " + named(value, armband);
            }
            return "signal preview refused: " +
                   named(value, value == STATUS_WRONG_MODE
                                    ? "the server records or streams the armband's gestures, "
                                      "or no preview runs"
                                    : "wrong length");
        case OWN_ANSWERS:
            if (value == STATUS_OK) {
                return "own answers on: STATUS_OK";
            }
            return "OWN_ANSWERS refused: " + named(value, "wrong length");
        default:
            return "unknown message";
    }
}

std::string previewText(const std::vector<std::uint8_t>& message) {
    PreviewFrame frame;
    if (!parsePreviewFrame(message, frame)) {
        return "malformed preview frame of " + std::to_string(message.size()) + " bytes";
    }
    char activity[16];
    std::snprintf(activity, sizeof activity, "%.1f", static_cast<double>(previewActivity(frame)));
    return "preview frame: " + std::to_string(frame.channels) + " channels, activity " + activity;
}

}  // namespace

std::string statusName(std::uint8_t status) {
    const char* name = wireName(kStatusNames, status);
    return name != nullptr ? name : "status " + hexByte(status);
}

std::string armbandGestureText(std::uint8_t gesture) {
    const std::string name = gestureName(gesture);
    return name == "Undefined" ? name + " (" + std::to_string(gesture) + ")" : name;
}

std::string identifiedGestureText(std::uint8_t number) {
    if (number == STATUS_FAILED) {
        return "no gesture";
    }
    if (number >= 1 && number <= kHighestGestureNumber) {
        return "gesture " + std::to_string(number);
    }
    return "unknown gesture number " + hexByte(number);
}

std::string configOutcomeText(std::uint8_t status) {
    switch (status) {
        case STATUS_OK:
            return "EMG configuration applied: STATUS_OK";
        case STATUS_DEVICE_ERROR:
            return "EMG configuration failed: " + named(status, "the armband reported a failure");
        case STATUS_NO_SETTING:
            return "EMG configuration failed: " +
                   named(status, "the armband offers no settings; reconnect it");
        case STATUS_NO_DEVICE:
            return "EMG configuration failed: " +
                   named(status, "no armband is connected; scan and connect first");
        case STATUS_FAILED:
            return "SET_EMG_CONFIG refused: " + named(status, "wrong length");
        case STATUS_WRONG_MODE:
            return "SET_EMG_CONFIG refused: " +
                   named(status, "not while recording or identifying; nothing changed");
        default:
            return "EMG configuration: " + named(status, "unknown outcome");
    }
}

std::string uploadOutcomeText(std::uint8_t status) {
    switch (status) {
        case STATUS_OK:
            return "model upload finished: STATUS_OK (the armband has the new model)";
        case STATUS_DEVICE_ERROR:
            return "model upload failed: " + named(status, "the armband reported a failure");
        case STATUS_BAD_LENGTH:
            return "MODEL_UPDATE refused: " + named(status, "wrong length");
        case STATUS_FAILED:
            return "MODEL_UPDATE refused: " +
                   named(status,
                         "W&B.txt is missing or malformed, or does not match the "
                         "channel and gesture configuration");
        case STATUS_FILE_ERROR:
            return "MODEL_UPDATE failed: " +
                   named(status, "W&B.txt or model.bin could not be opened");
        case STATUS_STOPPED:
            return "model upload stop acknowledged: " +
                   named(status, "an upload under way is not interrupted");
        case STATUS_NO_SETTING:
        case STATUS_NO_DEVICE:
            return "MODEL_UPDATE refused: " + named(status, armbandMeaning(status));
        default:
            return "model upload: " + named(status, "unknown outcome");
    }
}

std::string generateOutcomeText(const std::vector<std::uint8_t>& statuses) {
    if (statuses.empty()) {
        return "no status";
    }
    if (statuses.size() == 1) {
        switch (statuses[0]) {
            case STATUS_OK:
                return "STATUS_OK (model trained, W&B.txt written)";
            case STATUS_FAILED:
                return named(STATUS_FAILED,
                             "training failed: too little activity in the recordings, "
                             "fewer than two gestures selected, or a wrong length");
            case STATUS_FILE_ERROR:
                return named(STATUS_FILE_ERROR, "a selected gesture's feature file is missing");
            case STATUS_STOPPED:
                return named(STATUS_STOPPED, "stopped; no model was written");
            case STATUS_WRONG_MODE:
                return named(STATUS_WRONG_MODE, "a training is already under way; wait for it");
            default:
                return named(statuses[0], "unknown outcome");
        }
    }
    std::string text;
    if (statuses[0] == STATUS_FAILED) {
        text = named(STATUS_FAILED,
                     "a selected gesture's raw file could not be opened: record every "
                     "selected gesture first");
    } else {
        text = named(statuses[0], "unknown outcome");
    }
    text += "; then ";
    switch (statuses[1]) {
        case STATUS_OK:
            text += "STATUS_OK (W&B.txt was written, but without the missing recordings)";
            break;
        case STATUS_FILE_ERROR:
            text += named(STATUS_FILE_ERROR, "a feature file is missing");
            break;
        case STATUS_FAILED:
            text += named(STATUS_FAILED, "training failed");
            break;
        default:
            text += named(statuses[1], "unknown outcome");
            break;
    }
    for (std::size_t i = 2; i < statuses.size(); ++i) {
        text += "; then " + statusName(statuses[i]);
    }
    return text;
}

bool generateSucceeded(const std::vector<std::uint8_t>& statuses) {
    return statuses.size() == 1 && statuses[0] == STATUS_OK;
}

bool parseVersionAnswer(const std::vector<std::uint8_t>& message, VersionAnswer& version) {
    if (message.size() != 1 + kVersionTextLength || message[0] != kVersionAnswer) {
        return false;
    }
    const std::string text(message.begin() + 1, message.end());
    if (text[11] != '/' || text[23] != '/') {
        return false;
    }
    version.text = text;
    version.server = text.substr(0, 11);
    version.firmware = text.substr(12, 11);
    version.hardware = text.substr(24, 11);
    return true;
}

std::string describeMessage(const std::vector<std::uint8_t>& message) {
    if (message.empty()) {
        return "empty message";
    }
    const std::uint8_t code = message[0];
    if (code == kPreviewFrameCode) {
        return previewText(message);
    }
    if (code == kVersionAnswer) {
        VersionAnswer version;
        if (!parseVersionAnswer(message, version)) {
            return "malformed version answer of " + std::to_string(message.size()) + " bytes";
        }
        return "version: server " + version.server + ", armband firmware " + version.firmware +
               ", hardware " + version.hardware;
    }
    if (code == GENERATE_MODEL && message.size() >= 2) {
        return "model generation: " +
               generateOutcomeText(std::vector<std::uint8_t>(message.begin() + 1, message.end()));
    }
    if (message.size() != 2) {
        return "unknown message of " + std::to_string(message.size()) + " bytes";
    }
    return twoByteText(code, message[1]);
}
