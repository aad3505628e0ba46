#include "api/api_resources.h"
#include "api/json_response.h"
#include "commands/version_text.h"
#include "core/emg_rate.h"
#include "device/acquisition_state.h"
#include "device/raw_data_routing.h"
#include "device/tessel_handle.h"
#include "identify/identify_mode.h"
#include "identify/model_load.h"
#include "recordings/gesture_name_file.h"
#include "recordings/model_provenance.h"
#include "training/model_file.h"
#include "training/model_gestures.h"

namespace {

const char* modeName(std::int32_t mode) {
    switch (mode) {
        case IDLE_MODE:
            return "idle";
        case RECORD_MODE:
            return "recording";
        case IDENTIFY_MODE:
            return "identifying";
        case GESTURE_MODE:
            return "gestureStream";
        default:
            return "unknown";
    }
}

const char* connectionName(tessel::ConnectionState state) {
    switch (state) {
        case tessel::Disconnected:
            return "disconnected";
        case tessel::Disconnecting:
            return "disconnecting";
        case tessel::Connecting:
            return "connecting";
        case tessel::Connected:
            return "connected";
    }
    return "unknown";
}

nlohmann::json armband() {
    nlohmann::json out;
    const tessel::DevicePtr device = handle ? handle->currentDevice() : nullptr;
    out["known"] = device != nullptr;
    out["connection"] = device ? connectionName(device->getConnectionState()) : "none";
    std::string firmware = kUnknownVersion;
    std::string hardware = kUnknownVersion;
    if (device && device->getConnectionState() == tessel::Connected) {
        const VersionMap versions = handle->getVersions();
        const auto fw = versions.find("FW");
        const auto hw = versions.find("HW");
        firmware = formatFirmwareVersion(toNarrow(fw == versions.end() ? L"" : fw->second));
        hardware = formatHardwareVersion(toNarrow(hw == versions.end() ? L"" : hw->second));
    }
    out["firmware"] = firmware;
    out["hardware"] = hardware;
    return out;
}

nlohmann::json model() {
    nlohmann::json out;
    out["file"] = kModelFileName;
    ModelFile file;
    const ModelFileRead read = readModelFile(file);
    out["present"] = read != ModelFileRead::Missing;
    out["usable"] = read == ModelFileRead::Read;
    if (read == ModelFileRead::Refused) {
        out["problem"] = file.problem;
    }
    if (read == ModelFileRead::Read) {
        out["rows"] = file.shape.rows;
        out["valuesPerRow"] = file.shape.valuesPerRow;
        out["channels"] = file.shape.valuesPerRow - 1;
        out["gestures"] = gestureCountForRows(file.shape.rows);
    }
    // The gesture mask of the generation that wrote the model, when known.
    const std::optional<std::uint8_t> trained = loadModelGestures();
    out["trainedGestureMask"] = orNull(trained);
    out["trainedGestures"] = trained ? gestureList(*trained) : nlohmann::json(nullptr);
    // Whether it was trained on the recordings and the configuration there are now.
    const ModelFreshness freshness =
        modelFreshness(channelMask.load(), gestureMask.load(), loadGestureNames());
    out["current"] = freshness.current;
    out["staleBecause"] = freshness.staleBecause;
    return out;
}

// The recording window under way: its gesture and the seconds of EMG it holds
// so far, so that a page opened during it can follow its clock.
nlohmann::json recordingUnderWay(std::int32_t mode) {
    const std::uint8_t channels = channelCount.load();
    if (mode != RECORD_MODE || channels == 0) {
        return nullptr;
    }
    const double seconds = static_cast<double>(rawBuffer.size()) /
                           (kEmgFramesPerSecond * static_cast<double>(channels));
    return {{"gesture", recordingGesture.load()}, {"seconds", seconds}};
}

}  // namespace

ApiResponse getStatus() {
    nlohmann::json document;
    document["server"] = {{"version", serverVersion}};
    const std::int32_t mode = dataMode.load();
    document["dataMode"] = modeName(mode);
    document["recording"] = recordingUnderWay(mode);
    document["identifyMode"] = identifyModeName(identifyMode());
    const std::uint8_t gestures = gestureMask.load();
    document["configuration"] = {{"channelMask", channelMask.load()},
                                 {"channels", channelCount.load()},
                                 {"gestureMask", gestures},
                                 {"gestures", gestureList(gestures)}};
    document["armband"] = armband();
    document["preview"] = handle && handle->preview().isOpen();
    document["model"] = model();
    document["gestureNames"] = loadGestureNames();
    return jsonResponse(200, document);
}
