// The wearer control endpoint: a WebSocket server on 127.0.0.1 that answers
// every text message with exactly one text message from the handler.
//
// It accepts upgrades without an Origin header or with an Origin whose host is
// localhost, 127.0.0.1 or [::1] (pages served from this machine), and answers
// any other Origin with 403. start and stop are called by the Armband's
// lifecycle, under its lifecycle lock; the handler runs on the endpoint's own
// thread, one message at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tessel::sim {

// True for an Origin header value that names a page served from this machine.
bool isLocalOrigin(std::string_view origin);

class ControlServer {
  public:
    using Handler = std::function<std::string(std::string_view line)>;

    ControlServer();
    ~ControlServer();  // stops
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens on 127.0.0.1:port (0 = any free port) and starts the thread.
    // The port listened on, or 0 with the reason in `error`.
    std::uint16_t start(std::uint16_t port, Handler handler, std::string& error);
    // Closes every connection and joins the thread.
    void stop();
    std::uint16_t port() const;

  private:
    struct Running;
    std::unique_ptr<Running> running;
};

}  // namespace tessel::sim
