#include "base/log.h"
#include "server/commands/client_commands.h"
#include "server/commands/command_handlers.h"
#include "server/state/server_context.h"

namespace {

Command commandFor(std::uint8_t code) {
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

// OWN_ANSWERS: the first opts the client in and is answered 31 00 to it alone.
bool optedIn(ServerContext& server, const Origin& from, const std::uint8_t* payload,
             std::size_t length) {
    if (length != 1 || payload[0] != OWN_ANSWERS || from.client == kNoClient ||
        !server.clientRegistry.optIn(from.client)) {
        return false;
    }
    const std::uint8_t accepted[] = {OWN_ANSWERS, STATUS_OK};
    server.clientRegistry.sendTo(from.client, accepted, sizeof accepted);
    return true;
}

}  // namespace

void handleClientCommands(ServerContext& server, const Origin& from, const std::uint8_t* payload,
                          std::size_t length) {
    logLine("handleClientCommands");
    if (optedIn(server, from, payload, length)) {
        return;
    }
    ClientRegistry& clients = server.clientRegistry;
    const Origin origin = from.client != kNoClient ? clients.beginCommand(from.client) : from;
    Response response;
    if (length > 0 && payload[0] == OWN_ANSWERS) {
        // Asked again, or with bytes it does not take: only the asker hears.
        const std::uint8_t answer[] = {OWN_ANSWERS, length == 1 ? STATUS_OK : STATUS_FAILED};
        if (origin.seq) {
            const auto frame = ownAnswerFrame(*origin.seq, answer, sizeof answer);
            clients.sendTo(origin.client, frame.data(), frame.size());
        } else {
            clients.sendTo(origin.client, answer, sizeof answer);
        }
        return;
    }
    if (length > 0) {
        if (const Command command = commandFor(payload[0])) {
            command(server, CommandFrame{payload, length, origin}, response);
        }
    }
    if (response.answered) {
        return;
    }
    if (response.size() >= 2) {
        clients.answer(origin, response.data(), response.size(), response.alsoFor);
    } else if (origin.seq) {
        const std::uint8_t none[1] = {};
        const auto frame = ownAnswerFrame(*origin.seq, none, 0);
        clients.sendTo(origin.client, frame.data(), frame.size());
    }
}
