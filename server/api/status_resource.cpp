#include "pipeline/model_provenance.h"
#include "protocol/emg_rate.h"
#include "protocol/version_text.h"
#include "server/api/api_resources.h"
#include "server/api/json_response.h"
#include "server/state/server_context.h"
#include "signal/identify_mode.h"
#include "store/gesture_name_file.h"
#include "store/model_file.h"
#include "store/model_gestures.h"
#include "store/model_load.h"

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

// The versions are the ones the armband gave when it connected (or since):
// the status never waits for the armband.
nlohmann::json armband(const ServerContext& server) {
    nlohmann::json out;
    const tessel::DevicePtr device = server.handle->currentDevice();
    out["known"] = device != nullptr;
    out["connection"] = device ? connectionName(device->getConnectionState()) : "none";
    std::string firmware = kUnknownVersion;
    std::string hardware = kUnknownVersion;
    if (device && device->getConnectionState() == tessel::Connected && server.versions.known) {
        const VersionMap& versions = server.versions.map;
        const auto fw = versions.find("FW");
        const auto hw = versions.find("HW");
        firmware = formatFirmwareVersion(toNarrow(fw == versions.end() ? L"" : fw->second));
        hardware = formatHardwareVersion(toNarrow(hw == versions.end() ? L"" : hw->second));
    }
    out["firmware"] = firmware;
    out["hardware"] = hardware;
    return out;
}

nlohmann::json model(const AcquisitionState& state) {
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
        modelFreshness(state.channelMask, state.gestureMask, loadGestureNames());
    out["current"] = freshness.current;
    out["staleBecause"] = freshness.staleBecause;
    return out;
}

// The recording window under way: its gesture and the seconds of EMG it holds
// so far, so that a page opened during it can follow its clock.
nlohmann::json recordingUnderWay(const ServerContext& server) {
    const AcquisitionState& state = server.acquisition;
    const std::uint8_t channels = state.channelCount;
    if (state.dataMode != RECORD_MODE || channels == 0) {
        return nullptr;
    }
    const double seconds = static_cast<double>(server.routing.recordedBytes()) /
                           (kEmgFramesPerSecond * static_cast<double>(channels));
    return {{"gesture", state.recordingGesture}, {"seconds", seconds}};
}

}  // namespace

ApiResponse getStatus(const ServerContext& server) {
    const AcquisitionState& state = server.acquisition;
    nlohmann::json document;
    document["server"] = {{"version", serverVersion}};
    document["dataMode"] = modeName(state.dataMode);
    document["recording"] = recordingUnderWay(server);
    document["identifyMode"] = identifyModeName(server.identifyMode);
    document["configuration"] = {{"channelMask", state.channelMask},
                                 {"channels", state.channelCount},
                                 {"gestureMask", state.gestureMask},
                                 {"gestures", gestureList(state.gestureMask)}};
    document["armband"] = armband(server);
    document["preview"] = server.routing.previewOpen();
    document["model"] = model(state);
    document["gestureNames"] = loadGestureNames();
    return jsonResponse(200, document);
}
