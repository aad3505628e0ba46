// The clients' WebSocket server: plain TCP, no TLS, no per-message
// compression, messages up to 16 MiB. Every message a client sends becomes an
// APP_CLIENT_EVT record on the event queue, with the client it came from;
// connections join and leave the client registry. Plain HTTP requests on the same port are answered
// with the embedded browser client and the HTTP API. Every request and upgrade passes the access
// policy first (server/net/access_policy.h).
//
// It listens on the loopback addresses (127.0.0.1 and, where the system has
// IPv6, ::1) and, when asked, on one address more; then peers beyond
// loopback need the token that it makes at construction.
//
// run() is the body of the server thread, the one thread on which every
// connection is served. stop() may be called from any other thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ListenOptions {
    std::uint16_t port = 8888;  // 0 picks a free one
    // An address beyond loopback ("0.0.0.0" or "::" for every one); empty: none.
    std::string address;
    std::vector<std::string> allowedOrigins;  // normalised origins
    std::vector<std::string> allowedHosts;    // lower-case host names
};

class ApiCalls;
class ClientRegistry;
class EventQueue;

class WebSocketServer {
  public:
    // The queue, the registry and the API calls must outlive the server.
    WebSocketServer(ListenOptions options, EventQueue& events, ClientRegistry& clients,
                    ApiCalls& api);
    ~WebSocketServer();
    WebSocketServer(const WebSocketServer&) = delete;
    WebSocketServer& operator=(const WebSocketServer&) = delete;

    // Takes the port on every address to listen on; false, with `error` in
    // words, when it cannot. Call once, before run().
    bool listen(std::string& error);
    // Serves until stop(); returns at once when listen() failed. Call once.
    void run();
    // Closes the listeners and every connection, removes them from the
    // registry and makes run() return.
    void stop();
    // The port being listened on; 0 until listening (or when listening failed).
    std::uint16_t listeningPort() const { return boundPort.load(); }
    // The addresses, token included, that a phone or another computer opens;
    // none when the server listens on loopback only. After listen().
    std::vector<std::string> readyUrls() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl;
    std::atomic<std::uint16_t> boundPort{0};
};
