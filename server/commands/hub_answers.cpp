#include "base/log.h"
#include "server/commands/client_commands.h"
#include "server/commands/command_handlers.h"
#include "server/commands/event_handlers.h"
#include "server/device/hub_events.h"
#include "server/state/server_context.h"

void handleHubEvents(ServerContext& server, const Origin& origin, const std::uint8_t* payload,
                     std::size_t length) {
    logLine("handleHubEvents");
    if (length == 0) {
        logLine("Hub event format err!!!");
        return;
    }
    Origin answerFor;
    switch (payload[0]) {
        case kNotifyDeviceFound:
            answerFor = server.scanOwner;
            server.scanOwner = Origin{};
            break;
        case kNotifyConnected:
            answerFor = server.connectOwner;
            server.connectOwner = Origin{};
            if (length > 1 && payload[1] == STATUS_OK) {
                askForVersions(server, std::nullopt);
            }
            break;
        case kNotifyRawConfig:
        case kNotifyUploadDone:
            answerFor = origin;
            break;
        default:
            break;  // news: progress, gestures, a disconnection
    }
    server.clientRegistry.answer(answerFor, payload, length);
}
