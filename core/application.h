#pragma once

#include <functional>

struct ServerOptions;

// The server's life: start-up, the main loop, shutdown. Returns the exit code:
// 1 when the device SDK's hub cannot be obtained or initialised, or when the
// WebSocket port cannot be listened on; else 0. `hubReady` runs on the main
// thread right after the hub has been initialised.
int runServer(const ServerOptions& options, const std::function<void()>& hubReady = {});
