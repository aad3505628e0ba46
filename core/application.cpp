#include "core/application.h"

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "api/api_calls.h"
#include "commands/client_commands.h"
#include "core/console_control.h"
#include "core/event_queue.h"
#include "core/log.h"
#include "core/main_loop.h"
#include "core/recording_timer.h"
#include "core/server_options.h"
#include "core/timer_events.h"
#include "device/hub_events.h"
#include "device/tessel_handle.h"
#include "identify/identify_mode.h"
#include "identify/identify_worker.h"
#include "recordings/server_settings.h"
#include "recordings/start_up_recovery.h"
#include "server/websocket_server.h"
#include "training/raw_recording_file.h"

namespace {

constexpr std::int64_t kHubRunSliceMs = 10;

// The long-lived threads that start-up launches. They are stopped and joined
// at shutdown, so nothing is destroyed under a thread that still uses it.
struct ServerThreads {
    std::atomic<bool> hubStop{false};
    std::thread hubThread;
    std::thread identifyThread;
    std::unique_ptr<WebSocketServer> webSocketServer;
    std::thread webSocketThread;
};

void runHub(std::atomic<bool>& stop) {
    while (!stop.load()) {
        const int result = hub->run(kHubRunSliceMs);
        if (result != tessel::kRunOk && result != tessel::kRunTimeout) {
            logLine("Method run() failed: %d", result);
            return;
        }
    }
}

void startThreads(ServerThreads& threads) {
    threads.hubThread = std::thread(runHub, std::ref(threads.hubStop));
    threads.identifyThread = std::thread(identifyWorker);
    threads.webSocketThread =
        std::thread([server = threads.webSocketServer.get()] { server->run(); });
}

void shutdown(ServerThreads& threads) {
    hub->unregisterListener(handle);
    threads.hubStop.store(true);
    threads.hubThread.join();
    hub->deinit();
    removeConsoleControl();
    // The identification thread ends when it pops this, ahead of queued windows.
    identifyQueue.pushUrgent(nullptr);
    threads.identifyThread.join();
    threads.webSocketServer->stop();
    threads.webSocketThread.join();
    discardApiRequests();  // their replies hold connections of the server
    threads.webSocketServer.reset();
}

}  // namespace

int runServer(const ServerOptions& options, const std::function<void()>& hubReady) {
    blockConsoleSignals();
    hub = tessel::HubManager::getHubInstance(L"Quillon Server Application");
    if (!hub) {
        logLine("hub instance not available");
        return 1;
    }
    hub->setMode(1);
    handle = std::make_shared<TesselHandle>(hub);
    const int registered = hub->registerListener(handle);
    logLine("registerListener %s", registered == 0 ? "SUCCESS" : "FAIL");
    const int initialised = hub->init(0);
    if (initialised != 0) {
        logLine("hub init failed: %d", initialised);
        return 1;
    }
    if (hubReady) {
        hubReady();
    }
    recoverWorkingDirectory();
    recordingWindowMs.store(recordingWindowMsAt(options.simSpeed));
    // The command line's mode counts over the one last chosen through the API.
    const std::optional<IdentifyMode> saved = loadSavedIdentifyMode();
    const IdentifyMode mode =
        options.identifyModeGiven ? options.identifyMode : saved.value_or(options.identifyMode);
    setIdentifyMode(mode);
    if (options.identifyModeGiven || saved) {
        logLine("identify mode:%s", identifyModeName(mode));
    }

    ServerThreads threads;
    // The port is taken before any thread starts, so a busy port ends the
    // server at once instead of leaving it running without clients.
    threads.webSocketServer = std::make_unique<WebSocketServer>(ListenOptions{
        options.port, options.listenAddress, options.allowedOrigins, options.allowedHosts});
    std::string listenError;
    if (!threads.webSocketServer->listen(listenError)) {
        logLine("uWS failed to listen: %s", listenError.c_str());
        hub->unregisterListener(handle);
        hub->deinit();
        handle.reset();
        hub.reset();
        return 1;
    }
    startThreads(threads);
    if (installConsoleControl()) {
        logLine("uWS server started");
        if (options.portGiven) {
            logLine("uWS server listening on port %u",
                    static_cast<unsigned>(threads.webSocketServer->listeningPort()));
        }
        for (const std::string& url : threads.webSocketServer->readyUrls()) {
            logLine("open %s on a phone or another computer", url.c_str());
        }
        const EventHandlers handlers{handleClientCommands, handleHubEvents, handleTimerEvents,
                                     handleInternalEvents, handleApiEvents};
        runMainLoop(eventQueue, handlers);
    } else {
        logLine("Error: could not set control handler.");
    }
    shutdown(threads);
    handle.reset();
    hub.reset();
    return 0;
}
