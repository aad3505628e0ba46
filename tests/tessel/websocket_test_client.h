// A deliberately plain WebSocket client for tests of the control endpoint:
// POSIX sockets, the opening handshake and text frames written out by hand,
// so that it shares no code with the server it checks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessel::sim::testing {

class WebSocketTestClient {
  public:
    WebSocketTestClient() = default;
    ~WebSocketTestClient();
    WebSocketTestClient(const WebSocketTestClient&) = delete;
    WebSocketTestClient& operator=(const WebSocketTestClient&) = delete;

    // Connects to 127.0.0.1:port and sends the upgrade request, with an Origin
    // header when one is given. The HTTP status of the answer (101 when the
    // WebSocket is open), or 0 when there was no answer.
    int open(int port, const std::optional<std::string>& origin = std::nullopt);
    // Sends one masked text (or binary) frame.
    bool send(const std::string& payload, bool binary = false);
    // The payload of the next text frame; nothing on a close, error or time-out.
    std::optional<std::string> receive();
    // The whole answer to the upgrade request.
    const std::string& handshake() const { return answer; }

  private:
    bool readExactly(void* out, std::size_t length);

    int fd = -1;
    std::string answer;
    std::string pending;  // bytes read past the handshake
};

}  // namespace tessel::sim::testing
