// A WebSocket client for the server's wire protocol, used by quillonctl and
// by the tests. Messages are received on a thread of the client's own and
// queued until receive() takes them; send may be called from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct WsMessage {
    bool binary = true;
    std::vector<std::uint8_t> bytes;
};

struct WsConnectOptions {
    std::string origin;        // sent as the Origin header when not empty
    std::string target = "/";  // the upgrade's path and query
    std::chrono::milliseconds timeout{5000};
};

class WsClient {
  public:
    WsClient();
    ~WsClient();
    WsClient(const WsClient&) = delete;
    WsClient& operator=(const WsClient&) = delete;

    // Connects to ws://host:port/. On failure returns false with a reason in
    // `error`; when the server answered the upgrade with an HTTP status other
    // than 101, that status is in `httpStatus`.
    bool connect(const std::string& host, std::uint16_t port, std::string& error,
                 const WsConnectOptions& options = {}, int* httpStatus = nullptr);
    void sendBinary(std::vector<std::uint8_t> bytes);
    void sendText(std::string text);
    // The next message, or nothing when none arrives within the time-out or
    // the connection has closed.
    std::optional<WsMessage> receive(std::chrono::milliseconds timeout);
    // False once the server has closed the connection.
    bool isOpen() const;
    // The code of the server's close frame (1001 when it went away); nothing
    // while open or when the connection ended without one.
    std::optional<int> closeCode() const;
    void close();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
