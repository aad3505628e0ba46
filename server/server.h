// The server: one object that owns everything the server is made of (the
// state its handlers share, the WebSocket server, the API calls, the signal
// watcher, the hub's thread) and runs it. Made by the program's entry point.
//
// run() does start-up, the main loop and shutdown on the calling thread (the
// main thread) and returns the exit code; requestExit() may be called from
// any thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "server/console_control.h"
#include "server/main_loop.h"
#include "server/net/api_calls.h"
#include "server/server_options.h"
#include "server/state/server_context.h"

class WebSocketServer;

class Server {
  public:
    // `hub` is the device SDK's hub, which the server initialises in run().
    Server(const ServerOptions& options, std::shared_ptr<tessel::Hub> hub);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Returns 1 when the hub cannot be initialised or the port cannot be
    // listened on; else 0, once the server has been asked to end (SIGINT,
    // SIGTERM, EXIT_SERVER, hub state 3) and has ended: queued events are
    // dropped, clients get a close frame (1001) and every thread is joined,
    // within a second. `hubReady` runs on the main thread right after the hub
    // has been initialised.
    int run(const std::function<void()>& hubReady = {});
    // The main loop ends after the event it handles. Any thread.
    void requestExit();

    ServerContext& context() { return state; }

  private:
    void startUp();
    void shutdown();

    const ServerOptions options;
    // Declared first, destroyed last: what the state and the API calls hold
    // of its connections (replies) goes before it does.
    std::unique_ptr<WebSocketServer> webSocketServer;
    ServerContext state;
    ApiCalls apiCalls{state.eventQueue};
    ConsoleControl console;
    std::atomic<bool> hubStop{false};
    std::thread hubThread;
    std::thread webSocketThread;
};

// The handlers of every event type, for `context`'s main loop (and for tests
// that play it); API requests are taken from `api`, when given.
EventHandlers serverEventHandlers(ServerContext& context, ApiCalls* api);
