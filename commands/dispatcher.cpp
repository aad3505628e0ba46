#include "commands/client_commands.h"
#include "commands/command_handlers.h"
#include "core/log.h"
#include "server/client_registry.h"

namespace {

using CommandFunction = void (*)(const CommandFrame&, Response&);

CommandFunction commandFor(std::uint8_t code) {
    switch (code) {
        case PING:
            return commandPing;
        case SCAN_DEVICE:
            return commandScanDevice;
        case CONNECT_DEVICE:
            return commandConnectDevice;
        case DISCONNECT_DEVICE:
            return commandDisconnectDevice;
        case SET_EMG_CONFIG:
            return commandSetEmgConfig;
        case START_RECORD:
            return commandStartRecord;
        case STOP_RECORD:
            return commandStopRecord;
        case START_IDENTIFY:
            return commandStartIdentify;
        case STOP_IDENTIFY:
            return commandStopIdentify;
        case GENERATE_MODEL:
            return commandGenerateModel;
        case STOP_GENERATE_MODEL:
            return commandStopGenerateModel;
        case MODEL_UPDATE:
            return commandModelUpdate;
        case STOP_MODEL_UPDATE:
            return commandStopModelUpdate;
        case START_GESTURE_STREAM:
            return commandStartGestureStream;
        case STOP_GESTURE_STREAM:
            return commandStopGestureStream;
        case START_PREVIEW:
            return commandStartPreview;
        case STOP_PREVIEW:
            return commandStopPreview;
        case GET_VERSION:
            return commandGetVersion;
        case EXIT_SERVER:
            return commandExitServer;
        default:
            return nullptr;
    }
}

}  // namespace

void handleClientCommands(const std::uint8_t* payload, std::size_t length) {
    logLine("handleClientCommands");
    if (length == 0) {
        return;
    }
    const CommandFunction command = commandFor(payload[0]);
    if (command == nullptr) {
        return;
    }
    Response response;
    command(CommandFrame{payload, length}, response);
    if (response.size() >= 2) {
        sendToClients(response.data(), response.size());
    }
}
