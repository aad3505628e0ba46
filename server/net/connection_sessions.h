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
#include <optional>
#include <vector>

#include "base/event_queue.h"
#include "server/net/access_policy.h"
#include "server/net/api_calls.h"
#include "server/net/api_request.h"
#include "server/net/client_registry.h"
#include "server/net/inbound_budget.h"

namespace server_detail {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

// A Beast string as the standard's view of the same characters.
inline std::string_view view(beast::string_view text) {
    return {text.data(), text.size()};
}

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

// Connections that have not become WebSocket clients, at most; a new one
// beyond that closes the one that has waited longest for a request, or, when
// none waits, is refused. Each waits at most kRequestWait for its next request.
inline constexpr std::size_t kMaxHttpSessions = 64;
inline constexpr auto kRequestWait = std::chrono::seconds(10);
// WebSocket clients at most; an upgrade beyond them is answered 503.
inline constexpr std::size_t kMaxWebSocketClients = 64;

class HttpSession;
class WebSocketSession;

// What the sessions of one server share. The policy is fixed before the
// server runs; the lists belong to the server thread; the queue, the registry
// and the API calls are the server's, shared with the main thread.
struct SessionShared {
    SessionShared(EventQueue& queue, ClientRegistry& registry, ApiCalls& calls)
        : events(queue), clients(registry), api(calls) {}
    EventQueue& events;
    ClientRegistry& clients;
    ApiCalls& api;
    std::shared_ptr<InboundBudgets> budgets = std::make_shared<InboundBudgets>();
    AccessPolicy policy;
    std::vector<std::weak_ptr<WebSocketSession>> sessions;  // so that stop can close them
    std::vector<std::weak_ptr<HttpSession>> httpSessions;
};

// Server thread: room for one more HTTP session (see kMaxHttpSessions);
// false when there is none.
bool makeRoomForHttpSession(SessionShared& shared);

// Reads HTTP requests, each checked by the access policy first: a WebSocket
// upgrade becomes a WebSocketSession, an /api/ request goes to the main thread,
// a GET is answered with an embedded file of the browser client or 404, a HEAD
// as the GET would be but without the body. A request the parser refuses is
// answered 431, 413 or 400, and the connection closed.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
  public:
    HttpSession(tcp::socket socket, SessionShared& shared);
    void start();
    // Waiting for a request since then; nothing while one is being handled.
    std::optional<std::chrono::steady_clock::time_point> waitingSince() const { return waiting; }
    void closeNow();

  private:
    void readRequest();
    void onRead(beast::error_code ec);
    // The access policy's verdict, answered and logged when it refuses.
    bool admitted(bool& tokenInTarget);
    void upgrade();
    // An /api/ request: carried out on the main thread, answered here.
    void submitApiRequest();
    void answerApiRequest(const ApiResponse& answer);
    // A body handed out piece by piece: the header, then each piece in turn.
    void writeStream(std::shared_ptr<BodyStream> body, bool keepAlive);
    void writePiece(std::shared_ptr<BodyStream> body, std::uint64_t left, bool keepAlive);
    void respond(http::status status, std::string_view contentType, std::string_view body,
                 bool withBody = true, std::string_view cookie = {});
    // After a request that cannot be read: answers and closes.
    void refuseAndClose(http::status status, std::string_view text);
    void onWrite(bool keepAlive, beast::error_code ec);
    // Reads what the client still sends for a moment, so that it sees the answer.
    void drainAndClose();

    beast::tcp_stream stream;
    beast::flat_buffer buffer;
    std::unique_ptr<http::request_parser<http::string_body>> parser;
    std::shared_ptr<http::response<http::string_body>> response;
    // An API response; its body stays in apiBody until it has been written.
    std::shared_ptr<http::response<http::span_body<const char>>> apiResponse;
    std::shared_ptr<const std::string> apiBody;
    std::shared_ptr<http::response<http::empty_body>> streamHeader;
    std::shared_ptr<http::response_serializer<http::empty_body>> streamSerializer;
    std::string piece;
    SessionShared& shared;
    std::string peerAddress;
    std::string localAddress;
    std::optional<std::chrono::steady_clock::time_point> waiting;
};

// One client connection: reads messages into the event queue while its
// InboundBudget allows, and writes the messages broadcast to it, one write in
// flight at a time.
class WebSocketSession : public ClientConnection,
                         public std::enable_shared_from_this<WebSocketSession> {
  public:
    WebSocketSession(beast::tcp_stream stream, SessionShared& shared);
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
    EventQueue& events;
    ClientRegistry& clients;
    std::shared_ptr<InboundBudgets> budgets;
    ClientId id = kNoClient;  // given when it joins the registry
};

}  // namespace server_detail
