#include "core/application.h"

#include <atomic>
#include <thread>

#include "commands/client_commands.h"
#include "core/console_control.h"
#include "core/event_queue.h"
#include "core/log.h"
#include "core/main_loop.h"
#include "core/timer_events.h"
#include "training/raw_recording_file.h"
#include "device/hub_events.h"
#include "device/tessel_handle.h"
#include "identify/identify_worker.h"
#include "server/websocket_server.h"

namespace {

constexpr std::uint16_t kServerPort = 8888;
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
    threads.webSocketServer = std::make_unique<WebSocketServer>(kServerPort);
    threads.webSocketThread = std::thread([server = threads.webSocketServer.get()] { server->run(); });
}

void shutdown(ServerThreads& threads) {
    hub->unregisterListener(handle);
    threads.hubStop.store(true);
    threads.hubThread.join();
    hub->deinit();
    removeConsoleControl();
    identifyQueue.push(nullptr);  // the identification thread ends when it pops this
    threads.identifyThread.join();
    threads.webSocketServer->stop();
    threads.webSocketThread.join();
    threads.webSocketServer.reset();
}

}  // namespace

int runServer() {
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

    ServerThreads threads;
    startThreads(threads);
    if (installConsoleControl()) {
        logLine("uWS server started");
        const EventHandlers handlers{handleClientCommands, handleHubEvents, handleTimerEvents,
                                     handleInternalEvents};
        runMainLoop(eventQueue, handlers);
    } else {
        logLine("Error: could not set control handler.");
    }
    shutdown(threads);
    handle.reset();
    hub.reset();
    return 0;
}
