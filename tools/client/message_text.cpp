#include "tools/client/message_text.h"

#include <cstdio>

#include "device/gesture_names.h"
#include "tools/client/preview_frame.h"

namespace {

constexpr std::uint8_t kOk = 0x00;
constexpr std::uint8_t kFailed = 0xFF;
constexpr std::uint8_t kWrongMode = 0xFC;
constexpr std::uint8_t kBadLength = 0xEF;
constexpr std::uint8_t kFileError = 0xEE;
constexpr std::uint8_t kDeviceError = 0xF0;
constexpr std::uint8_t kNoSetting = 0xF1;
constexpr std::uint8_t kNoDevice = 0xF2;
constexpr std::uint8_t kHighestGestureNumber = 8;
constexpr std::size_t kVersionTextLength = 35;

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
        case kDeviceError:
            return "the armband refused or did not answer";
        case kNoSetting:
            return "the armband offers no settings; reconnect it";
        case kNoDevice:
            return "no armband is connected; scan and connect first";
        default:
            return {};
    }
}

std::string twoByteText(std::uint8_t code, std::uint8_t value) {
    const std::string armband = armbandMeaning(value);
    switch (code) {
        case 0x01:
            return value == kOk ? "PING answered: STATUS_OK"
                                : "PING refused: " + named(value, "wrong length");
        case 0x02:
            if (value == kOk) {
                return "device found: an armband answered the scan and can be connected";
            }
            if (value == kStopped) {
                return "scan stopped: STATUS_STOPPED";
            }
            if (value == kDeviceError) {
                return "scan ended: " + named(value, "no armband found within 30 s");
            }
            return "SCAN_DEVICE refused: " + named(value, "the scan could not start");
        case 0x03:
            if (value == kOk) {
                return "armband connected";
            }
            if (value == kNoDevice) {
                return "CONNECT_DEVICE refused: " + named(value, "no armband is known; scan first");
            }
            return "CONNECT_DEVICE refused: " +
                   named(value, !armband.empty() ? armband : "it is connecting or connected");
        case 0x04:
            if (value == kOk) {
                return "armband disconnected";
            }
            return "DISCONNECT_DEVICE refused: " + named(value, value == kNoDevice
                                                                    ? "no armband is known"
                                                                    : "no armband is connected");
        case 0x05:
            return configOutcomeText(value);
        case 0x06:
            if (value == kOk) {
                return "recording window closed: STATUS_OK (raw file written)";
            }
            if (value == kStopped) {
                return "recording stopped: STATUS_STOPPED (nothing written)";
            }
            if (value == kDeviceError) {
                return "recording failed: " +
                       named(value,
                             "the armband refused the stream or did not send the window's "
                             "frames in time; nothing written");
            }
            if (value == kNoDevice) {
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
        case 0x08:
            if (value == kStopped) {
                return "identification stopped: STATUS_STOPPED";
            }
            if (value == kFailed) {
                return "identified: no gesture (or START_IDENTIFY refused: STATUS_FAILED)";
            }
            if (!armband.empty()) {
                return "START_IDENTIFY failed: " + named(value, armband);
            }
            return "identified: " + identifiedGestureText(value);
        case 0x0A:
            return "model generation: " + generateOutcomeText({value});
        case 0x0C:
            return uploadOutcomeText(value);
        case 0x0D:
            return "model upload progress: " + std::to_string(value) + "%";
        case 0x10:
            if (value == kWrongMode) {
                return "gesture stream refused: STATUS_WRONG_MODE (the server is busy, or no "
                       "gesture stream runs)";
            }
            if (value == kStopped) {
                return "gesture stream stopped: STATUS_STOPPED";
            }
            if (!armband.empty()) {
                return "START_GESTURE_STREAM failed: " + named(value, armband);
            }
            return "armband gesture: " + armbandGestureText(value);
        case 0x12:
            if (value == kOk) {
                return "signal preview on: STATUS_OK";
            }
            if (value == kStopped) {
                return "signal preview off: STATUS_STOPPED";
            }
            if (!armband.empty()) {
                return "START_PREVIEW failed: " + named(value, armband);
            }
            return "signal preview refused: " +
                   named(value, value == kWrongMode
                                    ? "the server records or streams the armband's gestures, "
                                      "or no preview runs"
                                    : "wrong length");
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
    switch (status) {
        case kOk:
            return "STATUS_OK";
        case kFailed:
            return "STATUS_FAILED";
        case kStopped:
            return "STATUS_STOPPED";
        case kWrongMode:
            return "STATUS_WRONG_MODE";
        case kBadLength:
            return "STATUS_BAD_LENGTH";
        case kFileError:
            return "STATUS_FILE_ERROR";
        case kDeviceError:
            return "STATUS_DEVICE_ERROR";
        case kNoSetting:
            return "STATUS_NO_SETTING";
        case kNoDevice:
            return "STATUS_NO_DEVICE";
        default:
            return "status " + hexByte(status);
    }
}

std::string armbandGestureText(std::uint8_t gesture) {
    const std::string name = gestureName(gesture);
    return name == "Undefined" ? name + " (" + std::to_string(gesture) + ")" : name;
}

std::string identifiedGestureText(std::uint8_t number) {
    if (number == kFailed) {
        return "no gesture";
    }
    if (number >= 1 && number <= kHighestGestureNumber) {
        return "gesture " + std::to_string(number);
    }
    return "unknown gesture number " + hexByte(number);
}

std::string configOutcomeText(std::uint8_t status) {
    switch (status) {
        case kOk:
            return "EMG configuration applied: STATUS_OK";
        case kDeviceError:
            return "EMG configuration failed: " + named(status, "the armband reported a failure");
        case kNoSetting:
            return "EMG configuration failed: " +
                   named(status, "the armband offers no settings; reconnect it");
        case kNoDevice:
            return "EMG configuration failed: " +
                   named(status, "no armband is connected; scan and connect first");
        case kFailed:
            return "SET_EMG_CONFIG refused: " + named(status, "wrong length");
        case kWrongMode:
            return "SET_EMG_CONFIG refused: " +
                   named(status, "not while recording or identifying; nothing changed");
        default:
            return "EMG configuration: " + named(status, "unknown outcome");
    }
}

std::string uploadOutcomeText(std::uint8_t status) {
    switch (status) {
        case kOk:
            return "model upload finished: STATUS_OK (the armband has the new model)";
        case kDeviceError:
            return "model upload failed: " + named(status, "the armband reported a failure");
        case kBadLength:
            return "MODEL_UPDATE refused: " + named(status, "wrong length");
        case kFailed:
            return "MODEL_UPDATE refused: " +
                   named(status,
                         "W&B.txt is missing or malformed, or does not match the "
                         "channel and gesture configuration");
        case kFileError:
            return "MODEL_UPDATE failed: " +
                   named(status, "W&B.txt or model.bin could not be opened");
        case kStopped:
            return "model upload stop acknowledged: " +
                   named(status, "an upload under way is not interrupted");
        case kNoSetting:
        case kNoDevice:
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
            case kOk:
                return "STATUS_OK (model trained, W&B.txt written)";
            case kFailed:
                return named(kFailed,
                             "training failed: too little activity in the recordings, "
                             "fewer than two gestures selected, or a wrong length");
            case kFileError:
                return named(kFileError, "a selected gesture's feature file is missing");
            case kStopped:
                return named(kStopped, "stop acknowledged; generation is never interrupted");
            default:
                return named(statuses[0], "unknown outcome");
        }
    }
    std::string text;
    if (statuses[0] == kFailed) {
        text = named(kFailed,
                     "a selected gesture's raw file could not be opened: record every "
                     "selected gesture first");
    } else {
        text = named(statuses[0], "unknown outcome");
    }
    text += "; then ";
    switch (statuses[1]) {
        case kOk:
            text += "STATUS_OK (W&B.txt was written, but without the missing recordings)";
            break;
        case kFileError:
            text += named(kFileError, "a feature file is missing");
            break;
        case kFailed:
            text += named(kFailed, "training failed");
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
    return statuses.size() == 1 && statuses[0] == kOk;
}

bool parseVersionAnswer(const std::vector<std::uint8_t>& message, VersionAnswer& version) {
    if (message.size() != 1 + kVersionTextLength || message[0] != 0x30) {
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
    if (code == kPreviewCode) {
        return previewText(message);
    }
    if (code == 0x30) {
        VersionAnswer version;
        if (!parseVersionAnswer(message, version)) {
            return "malformed version answer of " + std::to_string(message.size()) + " bytes";
        }
        return "version: server " + version.server + ", armband firmware " + version.firmware +
               ", hardware " + version.hardware;
    }
    if (code == 0x0A && message.size() >= 2) {
        return "model generation: " +
               generateOutcomeText(std::vector<std::uint8_t>(message.begin() + 1, message.end()));
    }
    if (message.size() != 2) {
        return "unknown message of " + std::to_string(message.size()) + " bytes";
    }
    return twoByteText(code, message[1]);
}
