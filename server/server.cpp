#include "server/server.h"

#include <optional>
#include <string>

#include "base/exit_application.h"
#include "base/log.h"
#include "base/whole_file.h"
#include "pipeline/start_up_recovery.h"
#include "server/api/api_router.h"
#include "server/commands/client_commands.h"
#include "server/commands/event_handlers.h"
#include "server/net/websocket_server.h"
#include "store/raw_recording_file.h"
#include "store/server_settings.h"

namespace {

constexpr std::int64_t kHubRunSliceMs = 10;

void runHub(tessel::Hub& hub, const std::atomic<bool>& stop) {
    while (!stop.load()) {
        const int result = hub.run(kHubRunSliceMs);
        if (result != tessel::kRunOk && result != tessel::kRunTimeout) {
            logLine("Method run() failed: %d", result);
            return;
        }
    }
}

}  // namespace

EventHandlers serverEventHandlers(ServerContext& context, ApiCalls* api) {
    EventHandlers handlers;
    handlers.client = [&context](const Origin& origin, const std::uint8_t* payload,
                                 std::size_t length) {
        handleClientCommands(context, origin, payload, length);
    };
    handlers.hub = [&context](const Origin& origin, const std::uint8_t* payload,
                              std::size_t length) {
        handleHubEvents(context, origin, payload, length);
    };
    handlers.timer = [&context](const std::uint8_t* payload, std::size_t length) {
        handleTimerEvents(context, payload, length);
    };
    handlers.internal = [&context](const std::uint8_t* payload, std::size_t length) {
        handleInternalEvents(context, payload, length);
    };
    if (api != nullptr) {
        handlers.api = [&context, api](const std::uint8_t* payload, std::size_t length) {
            api->handle(payload, length, [&context](const ApiRequest& request, ApiReply reply) {
                handleApiRequest(context, request, std::move(reply));
            });
        };
    }
    return handlers;
}

Server::Server(const ServerOptions& serverOptions, std::shared_ptr<tessel::Hub> hub)
    : options(serverOptions), state(std::move(hub), recordingWindowMsAt(serverOptions.simSpeed)) {}

Server::~Server() {
    shutdown();
}

void Server::requestExit() {
    exitApplication(state.eventQueue);
}

int Server::run(const std::function<void()>& hubReady) {
    tessel::Hub& hub = *state.hub;
    hub.setMode(1);
    const int registered = hub.registerListener(state.handle);
    logLine("registerListener %s", registered == 0 ? "SUCCESS" : "FAIL");
    const int initialised = hub.init(0);
    if (initialised != 0) {
        logLine("hub init failed: %d", initialised);
        return 1;
    }
    if (hubReady) {
        hubReady();
    }
    startUp();
    // The port is taken before any thread starts, so a busy port ends the
    // server at once instead of leaving it running without clients.
    webSocketServer = std::make_unique<WebSocketServer>(
        ListenOptions{options.port, options.listenAddress, options.allowedOrigins,
                      options.allowedHosts},
        state.eventQueue, state.clientRegistry, apiCalls);
    std::string listenError;
    if (!webSocketServer->listen(listenError)) {
        logLine("uWS failed to listen: %s", listenError.c_str());
        hub.unregisterListener(state.handle);
        hub.deinit();
        return 1;
    }
    hubThread = std::thread(runHub, std::ref(hub), std::cref(hubStop));
    webSocketThread = std::thread([server = webSocketServer.get()] { server->run(); });
    if (console.install([this] { requestExit(); })) {
        logLine("uWS server started");
        if (options.portGiven) {
            logLine("uWS server listening on port %u",
                    static_cast<unsigned>(webSocketServer->listeningPort()));
        }
        for (const std::string& url : webSocketServer->readyUrls()) {
            logLine("open %s on a phone or another computer", url.c_str());
        }
        runMainLoop(state.eventQueue, serverEventHandlers(state, &apiCalls));
    } else {
        logLine("Error: could not set control handler.");
    }
    shutdown();
    return 0;
}

void Server::startUp() {
    recoverWorkingDirectory();
    // The command line's mode counts over the one last chosen through the API.
    const std::optional<IdentifyMode> saved = loadSavedIdentifyMode();
    state.identifyMode =
        options.identifyModeGiven ? options.identifyMode : saved.value_or(options.identifyMode);
    if (options.identifyModeGiven || saved) {
        logLine("identify mode:%s", identifyModeName(state.identifyMode));
    }
    // The inventory's analyses are made before anyone asks.
    for (int gesture = 1; gesture <= 8; ++gesture) {
        if (fileSize(rawFileName(static_cast<std::uint8_t>(gesture))) >= 0) {
            state.refreshInventory(gesture, 0);
        }
    }
}

void Server::shutdown() {
    if (!webSocketServer) {
        return;
    }
    // Clients are sent their close frames first; the rest stops meanwhile.
    webSocketServer->stop();
    if (hubThread.joinable()) {
        state.hub->unregisterListener(state.handle);
        hubStop.store(true);
        hubThread.join();
        state.hub->deinit();
    }
    console.remove();
    state.worker.stop();
    state.identify.stop();
    if (webSocketThread.joinable()) {
        webSocketThread.join();
    }
    // What is left holds connections of the server (replies): it goes first.
    state.eventQueue.clear();
    apiCalls.discard();
    state.inventory.dropWaiting();
    state.versions.then.clear();
    webSocketServer.reset();
}
