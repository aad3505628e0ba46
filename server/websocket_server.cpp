#include "server/websocket_server.h"

#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cerrno>
#include <optional>

#include "core/log.h"
#include "server/connection_sessions.h"

using namespace server_detail;

struct WebSocketServer::Impl {
    explicit Impl(std::uint16_t listenPort) : port(listenPort) {}

    bool listen(std::atomic<std::uint16_t>& boundPort);
    void acceptNext();
    // Out of descriptors or memory: accepting again at once would spin.
    void acceptLater(const beast::error_code& ec);
    void closeEverything();
    void finish();

    std::uint16_t port;
    SessionList sessions;  // server thread only
    net::io_context ioc{1};
    net::executor_work_guard<net::io_context::executor_type> keepRunning{ioc.get_executor()};
    tcp::acceptor acceptor{ioc};
    net::steady_timer acceptRetry{ioc};
    bool acceptStalled = false;  // server thread only
    net::steady_timer closeDeadline{ioc};
    std::size_t stillClosing = 0;  // server thread only
};

namespace {

constexpr auto kAcceptRetry = std::chrono::milliseconds(100);

bool outOfResources(const beast::error_code& ec) {
    if (ec.category() != boost::system::system_category()) {
        return false;
    }
    const int value = ec.value();
    return value == EMFILE || value == ENFILE || value == ENOBUFS || value == ENOMEM;
}

}  // namespace

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

void WebSocketServer::Impl::acceptLater(const beast::error_code& ec) {
    if (!acceptStalled) {
        logLine("uWS cannot accept a connection (%s), trying again every %d ms",
                ec.message().c_str(), static_cast<int>(kAcceptRetry.count()));
        acceptStalled = true;
    }
    acceptRetry.expires_after(kAcceptRetry);
    acceptRetry.async_wait([this](beast::error_code waited) {
        if (!waited && acceptor.is_open()) {
            acceptNext();
        }
    });
}

void WebSocketServer::Impl::acceptNext() {
    acceptor.async_accept(ioc, [this](beast::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor.is_open()) {
            return;
        }
        if (outOfResources(ec)) {
            acceptLater(ec);
            return;
        }
        if (!ec) {
            if (acceptStalled) {
                logLine("uWS accepts connections again");
                acceptStalled = false;
            }
            // Answers are a few bytes each: send each at once.
            beast::error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            std::make_shared<HttpSession>(std::move(socket), sessions)->start();
        }
        acceptNext();
    });
}

// Every client is sent a close frame (1001, going away); the loop stops once
// all have answered, or after kCloseGrace, when the rest are closed at once.
void WebSocketServer::Impl::closeEverything() {
    beast::error_code ignored;
    acceptor.close(ignored);
    acceptRetry.cancel();
    std::vector<std::shared_ptr<WebSocketSession>> open;
    for (auto& weak : sessions) {
        if (auto session = weak.lock()) {
            open.push_back(std::move(session));
        }
    }
    stillClosing = open.size();
    for (const auto& session : open) {
        session->closeGoingAway([this] {
            if (stillClosing > 0 && --stillClosing == 0) {
                finish();
            }
        });
    }
    if (stillClosing == 0) {
        finish();
        return;
    }
    closeDeadline.expires_after(kCloseGrace);
    closeDeadline.async_wait([this](beast::error_code ec) {
        if (!ec) {
            finish();
        }
    });
}

void WebSocketServer::Impl::finish() {
    closeDeadline.cancel();
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

bool WebSocketServer::listen() {
    return impl->listen(boundPort);
}

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
