#include "server/websocket_server.h"

#include <boost/asio/ip/v6_only.hpp>
#include <optional>

#include "server/connection_sessions.h"

using namespace server_detail;

struct WebSocketServer::Impl {
    explicit Impl(std::uint16_t listenPort) : port(listenPort) {}

    bool listen(std::atomic<std::uint16_t>& boundPort);
    void acceptNext();
    void closeEverything();

    std::uint16_t port;
    SessionList sessions;  // server thread only
    net::io_context ioc{1};
    net::executor_work_guard<net::io_context::executor_type> keepRunning{ioc.get_executor()};
    tcp::acceptor acceptor{ioc};
};

bool WebSocketServer::Impl::listen(std::atomic<std::uint16_t>& boundPort) {
    beast::error_code ec;
    // Every local address: IPv6 with IPv4-mapped addresses where the system
    // has IPv6, plain IPv4 otherwise.
    tcp::endpoint endpoint(tcp::v6(), port);
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        acceptor.set_option(net::ip::v6_only(false), ec);
    }
    if (ec) {
        beast::error_code ignored;
        acceptor.close(ignored);
        endpoint = tcp::endpoint(tcp::v4(), port);
        ec = {};
        acceptor.open(endpoint.protocol(), ec);
    }
    if (!ec) {
        acceptor.set_option(net::socket_base::reuse_address(true), ec);
    }
    if (!ec) {
        acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor.listen(net::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        beast::error_code ignored;
        acceptor.close(ignored);
        return false;
    }
    boundPort.store(acceptor.local_endpoint(ec).port());
    return true;
}

void WebSocketServer::Impl::acceptNext() {
    acceptor.async_accept(ioc, [this](beast::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor.is_open()) {
            return;
        }
        if (!ec) {
            // Answers are a few bytes each: send each at once.
            beast::error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            std::make_shared<HttpSession>(std::move(socket), sessions)->start();
        }
        acceptNext();
    });
}

void WebSocketServer::Impl::closeEverything() {
    beast::error_code ignored;
    acceptor.close(ignored);
    for (auto& weak : sessions) {
        if (auto session = weak.lock()) {
            session->closeNow();
        }
    }
    sessions.clear();
    keepRunning.reset();
    ioc.stop();
}

WebSocketServer::WebSocketServer(std::uint16_t port) : impl(std::make_unique<Impl>(port)) {}

WebSocketServer::~WebSocketServer() = default;

bool WebSocketServer::listen() { return impl->listen(boundPort); }

void WebSocketServer::run() {
    if (!impl->acceptor.is_open()) {
        return;
    }
    impl->acceptNext();
    impl->ioc.run();
}

void WebSocketServer::stop() {
    net::post(impl->ioc, [this] { impl->closeEverything(); });
}
