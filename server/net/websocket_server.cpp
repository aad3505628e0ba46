#include "server/net/websocket_server.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cctype>
#include <cerrno>
#include <optional>

#include "base/log.h"
#include "server/net/connection_sessions.h"

using namespace server_detail;

struct WebSocketServer::Impl {
    Impl(ListenOptions listen, EventQueue& events, ClientRegistry& clients, ApiCalls& api)
        : options(std::move(listen)), shared(events, clients, api) {}

    // One listening socket and its retry timer.
    struct Listener {
        explicit Listener(net::io_context& ioc) : acceptor(ioc), retry(ioc) {}
        tcp::acceptor acceptor;
        net::steady_timer retry;
        bool stalled = false;  // server thread only
    };

    bool listen(std::atomic<std::uint16_t>& boundPort, std::string& error);
    bool open(const tcp::endpoint& endpoint, bool dualStack, beast::error_code& ec);
    void acceptNext(Listener& listener);
    // Out of descriptors or memory: accepting again at once would spin.
    void acceptLater(Listener& listener, const beast::error_code& ec);
    void closeEverything();
    void finish();

    ListenOptions options;
    SessionShared shared;  // the policy is set before run; the rest is the server thread's
    net::io_context ioc{1};
    net::executor_work_guard<net::io_context::executor_type> keepRunning{ioc.get_executor()};
    std::vector<std::unique_ptr<Listener>> listeners;
    net::steady_timer closeDeadline{ioc};
    std::size_t stillClosing = 0;  // server thread only
    bool refusalLogged = false;    // server thread only
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

// The system has no IPv6 (or no ::1): the server goes on with IPv4 alone.
bool noIpv6(const beast::error_code& ec) {
    return ec == net::error::address_family_not_supported ||
           ec == boost::system::errc::address_not_available;
}

// This machine's addresses beyond loopback, of the family the wildcard covers.
std::vector<std::string> machineAddresses(bool withIpv6) {
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return addresses;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || (entry->ifa_flags & IFF_UP) == 0) {
            continue;
        }
        char text[INET6_ADDRSTRLEN] = {};
        const int family = entry->ifa_addr->sa_family;
        if (family == AF_INET) {
            ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr,
                        text, sizeof text);
        } else if (family == AF_INET6 && withIpv6) {
            const auto* v6 = reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr);
            if (IN6_IS_ADDR_LINKLOCAL(&v6->sin6_addr)) {
                continue;  // needs a zone that a browser's address cannot carry
            }
            ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        }
        if (text[0] != '\0' && !isLoopbackAddress(text)) {
            addresses.emplace_back(text);
        }
    }
    ::freeifaddrs(list);
    return addresses;
}

// The names this machine goes by on the network, lower case.
std::vector<std::string> machineNames() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || !isAcceptableHostName(name)) {
        return {};
    }
    std::string lower(name);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return {lower, lower + ".local"};
}

}  // namespace

bool WebSocketServer::Impl::open(const tcp::endpoint& endpoint, bool dualStack,
                                 beast::error_code& ec) {
    auto listener = std::make_unique<Listener>(ioc);
    tcp::acceptor& acceptor = listener->acceptor;
    acceptor.open(endpoint.protocol(), ec);
    if (!ec && endpoint.protocol() == tcp::v6()) {
        acceptor.set_option(net::ip::v6_only(!dualStack), ec);
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
    listeners.push_back(std::move(listener));
    return true;
}

bool WebSocketServer::Impl::listen(std::atomic<std::uint16_t>& boundPort, std::string& error) {
    const std::string& address = options.address;
    struct Wanted {
        std::string address;
        bool optional;  // ::1 where the system has no IPv6
    };
    std::vector<Wanted> wanted;
    if (address == "::") {
        wanted.push_back({"::", false});  // every address, IPv4-mapped ones included
    } else {
        wanted.push_back({address == "0.0.0.0" ? address : "127.0.0.1", false});
        wanted.push_back({"::1", true});
        if (!address.empty() && address != "0.0.0.0" && !isLoopbackAddress(address)) {
            wanted.push_back({address, false});
        }
    }
    std::uint16_t port = options.port;
    for (const Wanted& one : wanted) {
        beast::error_code ec;
        const tcp::endpoint endpoint(net::ip::make_address(one.address, ec), port);
        if (!ec && open(endpoint, one.address == "::", ec)) {
            port = listeners.back()->acceptor.local_endpoint(ec).port();
            continue;
        }
        if (one.optional && noIpv6(ec)) {
            continue;
        }
        error = one.address + " port " + std::to_string(port) + ": " + ec.message();
        listeners.clear();
        return false;
    }
    boundPort.store(port);
    shared.policy.network = !address.empty() && !isLoopbackAddress(address);
    shared.policy.origins = options.allowedOrigins;
    shared.policy.hosts = options.allowedHosts;
    if (shared.policy.network) {
        shared.policy.token = makeAccessToken();
        if (shared.policy.token.empty()) {
            error = "no random token could be made";
            listeners.clear();
            return false;
        }
        for (const std::string& name : machineNames()) {
            shared.policy.hosts.push_back(name);
        }
    }
    return true;
}

void WebSocketServer::Impl::acceptLater(Listener& listener, const beast::error_code& ec) {
    if (!listener.stalled) {
        logLine("uWS cannot accept a connection (%s), trying again every %d ms",
                ec.message().c_str(), static_cast<int>(kAcceptRetry.count()));
        listener.stalled = true;
    }
    listener.retry.expires_after(kAcceptRetry);
    listener.retry.async_wait([this, &listener](beast::error_code waited) {
        if (!waited && listener.acceptor.is_open()) {
            acceptNext(listener);
        }
    });
}

void WebSocketServer::Impl::acceptNext(Listener& listener) {
    listener.acceptor.async_accept(
        ioc, [this, &listener](beast::error_code ec, tcp::socket socket) {
            if (ec == net::error::operation_aborted || !listener.acceptor.is_open()) {
                return;
            }
            if (outOfResources(ec)) {
                acceptLater(listener, ec);
                return;
            }
            if (!ec) {
                if (listener.stalled) {
                    logLine("uWS accepts connections again");
                    listener.stalled = false;
                }
                if (makeRoomForHttpSession(shared)) {
                    refusalLogged = false;
                    // Answers are a few bytes each: send each at once.
                    beast::error_code ignored;
                    socket.set_option(tcp::no_delay(true), ignored);
                    std::make_shared<HttpSession>(std::move(socket), shared)->start();
                } else if (!refusalLogged) {
                    logLine("uWS refuses connections: %zu are busy with requests",
                            shared.httpSessions.size());
                    refusalLogged = true;
                }
            }
            acceptNext(listener);
        });
}

// Every client is sent a close frame (1001, going away); the loop stops once
// all have answered, or after kCloseGrace, when the rest are closed at once.
void WebSocketServer::Impl::closeEverything() {
    for (const auto& listener : listeners) {
        beast::error_code ignored;
        listener->acceptor.close(ignored);
        listener->retry.cancel();
    }
    for (const auto& weak : shared.httpSessions) {
        if (auto session = weak.lock()) {
            session->closeNow();
        }
    }
    std::vector<std::shared_ptr<WebSocketSession>> open;
    for (auto& weak : shared.sessions) {
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
    for (auto& weak : shared.sessions) {
        if (auto session = weak.lock()) {
            session->closeNow();
        }
    }
    shared.sessions.clear();
    keepRunning.reset();
    ioc.stop();
}

WebSocketServer::WebSocketServer(ListenOptions options, EventQueue& events, ClientRegistry& clients,
                                 ApiCalls& api)
    : impl(std::make_unique<Impl>(std::move(options), events, clients, api)) {}

WebSocketServer::~WebSocketServer() = default;

bool WebSocketServer::listen(std::string& error) {
    return impl->listen(boundPort, error);
}

void WebSocketServer::run() {
    if (impl->listeners.empty()) {
        return;
    }
    for (const auto& listener : impl->listeners) {
        impl->acceptNext(*listener);
    }
    impl->ioc.run();
}

void WebSocketServer::stop() {
    net::post(impl->ioc, [this] { impl->closeEverything(); });
}

std::vector<std::string> WebSocketServer::readyUrls() const {
    const AccessPolicy& policy = impl->shared.policy;
    std::vector<std::string> urls;
    if (!policy.network) {
        return urls;
    }
    const std::string& address = impl->options.address;
    const std::vector<std::string> addresses = address == "0.0.0.0" || address == "::"
                                                   ? machineAddresses(address == "::")
                                                   : std::vector<std::string>{address};
    for (const std::string& one : addresses) {
        const bool v6 = one.find(':') != std::string::npos;
        urls.push_back("http://" + (v6 ? "[" + one + "]" : one) + ":" +
                       std::to_string(boundPort.load()) + "/?token=" + policy.token);
    }
    return urls;
}
