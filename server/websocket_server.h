// The clients' WebSocket server: plain TCP on every local address, no TLS, no
// per-message compression, messages up to 16 MiB. Every message a client sends
// becomes an APP_CLIENT_EVT record on the event queue; connections join and
// leave clientRegistry. Plain HTTP GET requests on the same port are answered
// with the embedded browser client.
//
// run() is the body of the server thread, the one thread on which every
// connection is served. stop() may be called from any other thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class WebSocketServer {
  public:
    explicit WebSocketServer(std::uint16_t port);
    ~WebSocketServer();
    WebSocketServer(const WebSocketServer&) = delete;
    WebSocketServer& operator=(const WebSocketServer&) = delete;

    // Takes the port on every local address; false when it cannot. Call once,
    // before run().
    bool listen();
    // Serves until stop(); returns at once when listen() failed. Call once.
    void run();
    // Closes the listener and every connection, removes them from
    // clientRegistry and makes run() return.
    void stop();
    // The port being listened on; 0 until listening (or when listening failed).
    std::uint16_t listeningPort() const { return boundPort.load(); }

    struct Impl;

  private:
    std::unique_ptr<Impl> impl;
    std::atomic<std::uint16_t> boundPort{0};
};
