// The control endpoint's sessions and listener, on one io thread.
//
// A session reads the upgrade request, checks its Origin, accepts the
// WebSocket, then reads one message, answers it, and reads the next; so at
// most one write is ever in flight and no queue is needed.
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <optional>
#include <string_view>
#include <thread>

#include "control_server.h"

namespace tessel::sim {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

constexpr std::size_t kLargestMessage = 4096;
constexpr std::size_t kLargestRequestHeader = 8192;
constexpr auto kHandshakeTime = std::chrono::seconds(30);

class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(tcp::socket socket, const ControlServer::Handler& handler)
        : socket(std::move(socket)), handler(handler) {}

    void begin() {
        parser.emplace();
        parser->header_limit(kLargestRequestHeader);
        parser->body_limit(0);
        socket.expires_after(kHandshakeTime);
        http::async_read(socket, buffer, *parser,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             self->onRequest(error);
                         });
    }

  private:
    void onRequest(beast::error_code error) {
        if (error) {
            return;  // the peer went away or sent no valid request: just close
        }
        request = parser->release();
        if (!websocket::is_upgrade(request)) {
            refuse(http::status::bad_request, "This port takes WebSocket text commands.\n");
            return;
        }
        const auto origin = request.find(http::field::origin);
        if (origin != request.end() &&
            !isLocalOrigin(std::string_view(origin->value().data(), origin->value().size()))) {
            refuse(http::status::forbidden, "Origin not allowed.\n");
            return;
        }
        socket.expires_never();
        ws.emplace(std::move(socket));
        ws->set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        ws->read_message_max(kLargestMessage);
        ws->async_accept(request, [self = shared_from_this()](beast::error_code acceptError) {
            if (!acceptError) {
                self->readNext();
            }
        });
    }

    void refuse(http::status status, const char* text) {
        response.result(status);
        response.version(request.version());
        response.set(http::field::content_type, "text/plain");
        response.keep_alive(false);
        response.body() = text;
        response.prepare_payload();
        http::async_write(socket, response,
                          [self = shared_from_this()](beast::error_code, std::size_t) {
                              beast::error_code ignored;
                              self->socket.socket().shutdown(tcp::socket::shutdown_send, ignored);
                          });
    }

    void readNext() {
        buffer.clear();
        ws->async_read(buffer, [self = shared_from_this()](beast::error_code error, std::size_t) {
            self->onMessage(error);
        });
    }

    void onMessage(beast::error_code error) {
        if (error) {
            return;  // closed, timed out or too long: the session ends
        }
        if (ws->got_text()) {
            const std::string line = beast::buffers_to_string(buffer.data());
            answer = handler(line);
        } else {
            answer = "error: send commands as text messages";
        }
        ws->text(true);
        ws->async_write(net::buffer(answer),
                        [self = shared_from_this()](beast::error_code writeError, std::size_t) {
                            if (!writeError) {
                                self->readNext();
                            }
                        });
    }

    beast::tcp_stream socket;
    std::optional<websocket::stream<beast::tcp_stream>> ws;
    const ControlServer::Handler& handler;  // owned by Running, which outlives every session
    beast::flat_buffer buffer;
    std::optional<http::request_parser<http::empty_body>> parser;
    http::request<http::empty_body> request;
    http::response<http::string_body> response;
    std::string answer;
};

}  // namespace

struct ControlServer::Running {
    Handler handler;
    net::io_context io{1};
    tcp::acceptor acceptor{io};
    std::thread thread;
    std::uint16_t port = 0;

    void acceptNext() {
        acceptor.async_accept(
            net::make_strand(io), [this](beast::error_code error, tcp::socket socket) {
                if (error == net::error::operation_aborted) {
                    return;
                }
                if (!error) {
                    beast::error_code ignored;
                    socket.set_option(tcp::no_delay(true), ignored);
                    std::make_shared<Session>(std::move(socket), handler)->begin();
                }
                acceptNext();
            });
    }
};

ControlServer::ControlServer() = default;

ControlServer::~ControlServer() {
    stop();
}

std::uint16_t ControlServer::start(std::uint16_t port, Handler handler, std::string& error) {
    stop();
    auto next = std::make_unique<Running>();
    next->handler = std::move(handler);
    beast::error_code failure;
    const tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), port);
    next->acceptor.open(endpoint.protocol(), failure);
    if (!failure) {
        next->acceptor.set_option(net::socket_base::reuse_address(true), failure);
    }
    if (!failure) {
        next->acceptor.bind(endpoint, failure);
    }
    if (!failure) {
        next->acceptor.listen(net::socket_base::max_listen_connections, failure);
    }
    if (failure) {
        error = failure.message();
        return 0;
    }
    next->port = next->acceptor.local_endpoint().port();
    next->acceptNext();
    Running* raw = next.get();
    next->thread = std::thread([raw] { raw->io.run(); });
    running = std::move(next);
    return running->port;
}

void ControlServer::stop() {
    if (!running) {
        return;
    }
    running->io.stop();
    if (running->thread.joinable()) {
        running->thread.join();
    }
    // Destroying the io_context destroys the pending handlers and with them
    // every session and its socket.
    running.reset();
}

std::uint16_t ControlServer::port() const {
    return running ? running->port : 0;
}

}  // namespace tessel::sim
