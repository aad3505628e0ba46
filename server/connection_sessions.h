// The per-connection sessions of the WebSocket server. Private to server/:
// everything here runs on the server thread, except WebSocketSession::send.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/http/span_body.hpp>
#include <boost/beast/websocket.hpp>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "api/api_request.h"
#include "server/client_registry.h"
#include "server/inbound_budget.h"

namespace server_detail {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

// Largest message a client may send.
inline constexpr std::size_t kMaxMessageBytes = 16777216;
// What unsent messages may cost before their client is disconnected: each
// costs its bytes and kOutboxMessageOverhead for its share of the queue and
// the message's allocation, so a client that never reads is cut off after a
// bounded amount of memory whatever the size of the messages.
inline constexpr std::size_t kMaxOutboxBytes = 4 * 1024 * 1024;
inline constexpr std::size_t kOutboxMessageOverhead = 128;
// How long stop waits for clients to answer the close frame.
inline constexpr auto kCloseGrace = std::chrono::milliseconds(300);

class WebSocketSession;

// The open WebSocket sessions, so that stop can close them. Server thread only.
using SessionList = std::vector<std::weak_ptr<WebSocketSession>>;

// Reads HTTP requests: a WebSocket upgrade becomes a WebSocketSession, a GET
// is answered with an embedded file of the browser client or 404, a HEAD as
// the GET would be but without the body.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
  public:
    HttpSession(tcp::socket socket, SessionList& sessions);
    void start();

  private:
    void readRequest();
    void onRead(beast::error_code ec);
    void upgrade();
    // An /api/ request: carried out on the main thread, answered here.
    void submitApiRequest();
    void answerApiRequest(const ApiResponse& answer);
    void respond(http::status status, std::string_view contentType, std::string_view body,
                 bool withBody = true);
    void onWrite(bool keepAlive, beast::error_code ec);

    beast::tcp_stream stream;
    beast::flat_buffer buffer;
    std::unique_ptr<http::request_parser<http::string_body>> parser;
    std::shared_ptr<http::response<http::string_body>> response;
    // An API response; its body stays in apiBody until it has been written.
    std::shared_ptr<http::response<http::span_body<const char>>> apiResponse;
    std::shared_ptr<const std::string> apiBody;
    SessionList& sessions;
};

// One client connection: reads messages into the event queue while its
// InboundBudget allows, and writes the messages broadcast to it, one write in
// flight at a time.
class WebSocketSession : public ClientConnection,
                         public std::enable_shared_from_this<WebSocketSession> {
  public:
    explicit WebSocketSession(beast::tcp_stream stream);
    ~WebSocketSession() override;
    void accept(http::request<http::string_body> request);
    // Any thread: hands the message to the server thread.
    void send(ClientMessage message) override;
    // Server thread: leaves the registry and closes the socket.
    void closeNow();
    // Server thread: leaves the registry and sends a close frame (1001, going
    // away); `closed` runs once the socket is closed, at once if it is already.
    void closeGoingAway(std::function<void()> closed);

  private:
    void onAccept(beast::error_code ec);
    void readMessage();
    // Reads the next message when the budget allows, else pauses until it does.
    void readWhenRoom();
    void onRead(beast::error_code ec);
    void enqueue(ClientMessage message);
    void writeNext();
    void onWrite(beast::error_code ec);
    void leaveRegistry();

    websocket::stream<beast::tcp_stream> ws;
    beast::flat_buffer buffer;
    std::deque<ClientMessage> outbox;
    std::size_t outboxBytes = 0;  // what the outbox costs
    bool writing = false;
    bool reading = false;
    bool registered = false;
    bool closing = false;
    std::shared_ptr<InboundBudget> inbound;
};

}  // namespace server_detail
