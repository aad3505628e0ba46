#include "tools/client/ws_client.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <chrono>
#include <deque>
#include <thread>

#include "base/mutex.h"

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

struct WsClient::Impl {
    net::io_context ioc;
    websocket::stream<beast::tcp_stream> ws{ioc};
    beast::flat_buffer readBuffer;
    std::deque<std::shared_ptr<WsMessage>> outbox;  // io thread only
    bool writing = false;                           // io thread only
    std::thread ioThread;

    mutable Mutex lock;
    CondVar arrived;
    std::deque<WsMessage> inbox GUARDED_BY(lock);
    bool open GUARDED_BY(lock) = false;
    std::optional<int> closeCode GUARDED_BY(lock);

    void readNext();
    void enqueue(std::shared_ptr<WsMessage> message);
    void writeNext();
    void markClosed();
};

void WsClient::Impl::markClosed() {
    {
        MutexLock guard(lock);
        open = false;
    }
    arrived.notifyAll();
}

void WsClient::Impl::readNext() {
    ws.async_read(readBuffer, [this](beast::error_code ec, std::size_t) {
        if (ec) {
            if (ec == websocket::error::closed) {
                MutexLock guard(lock);
                closeCode = static_cast<int>(ws.reason().code);
            }
            markClosed();
            return;
        }
        WsMessage message;
        message.binary = ws.got_binary();
        const auto data = readBuffer.cdata();
        const auto* bytes = static_cast<const std::uint8_t*>(data.data());
        message.bytes.assign(bytes, bytes + data.size());
        readBuffer.consume(readBuffer.size());
        {
            MutexLock guard(lock);
            inbox.push_back(std::move(message));
        }
        arrived.notifyAll();
        readNext();
    });
}

void WsClient::Impl::enqueue(std::shared_ptr<WsMessage> message) {
    outbox.push_back(std::move(message));
    if (!writing) {
        writeNext();
    }
}

void WsClient::Impl::writeNext() {
    writing = true;
    const auto& next = outbox.front();
    ws.binary(next->binary);
    ws.async_write(net::buffer(next->bytes), [this](beast::error_code ec, std::size_t) {
        writing = false;
        outbox.pop_front();
        if (ec) {
            markClosed();
            return;
        }
        if (!outbox.empty()) {
            writeNext();
        }
    });
}

WsClient::WsClient() : impl(std::make_unique<Impl>()) {}

WsClient::~WsClient() {
    close();
}

bool WsClient::connect(const std::string& host, std::uint16_t port, std::string& error,
                       const WsConnectOptions& options, int* httpStatus) {
    beast::error_code ec;
    tcp::resolver resolver(impl->ioc);
    const auto endpoints = resolver.resolve(host, std::to_string(port), ec);
    if (ec) {
        error = "cannot resolve " + host + ": " + ec.message();
        return false;
    }
    auto& lowest = beast::get_lowest_layer(impl->ws);
    lowest.expires_after(options.timeout);
    bool done = false;
    lowest.async_connect(endpoints, [&](beast::error_code result, const tcp::endpoint&) {
        ec = result;
        done = true;
    });
    impl->ioc.run();
    impl->ioc.restart();
    if (!done || ec) {
        error = "cannot connect to " + host + ":" + std::to_string(port) + ": " + ec.message();
        return false;
    }
    // Commands are a few bytes each: send each at once, not behind the last one's ack.
    beast::error_code ignored;
    lowest.socket().set_option(tcp::no_delay(true), ignored);
    if (!options.origin.empty()) {
        impl->ws.set_option(websocket::stream_base::decorator(
            [origin = options.origin](websocket::request_type& r) {
                r.set(http::field::origin, origin);
            }));
    }
    impl->ws.read_message_max(64 * 1024 * 1024);
    websocket::response_type response;
    lowest.expires_after(options.timeout);
    impl->ws.async_handshake(response, host + ":" + std::to_string(port), options.target,
                             [&](beast::error_code result) { ec = result; });
    impl->ioc.run();
    impl->ioc.restart();
    if (ec) {
        if (httpStatus != nullptr) {
            *httpStatus = static_cast<int>(response.result_int());
        }
        error = "WebSocket handshake with " + host + ":" + std::to_string(port) +
                " failed: " + ec.message();
        return false;
    }
    lowest.expires_never();
    {
        MutexLock guard(impl->lock);
        impl->open = true;
    }
    impl->readNext();
    impl->ioThread = std::thread([this] { impl->ioc.run(); });
    return true;
}

void WsClient::sendBinary(std::vector<std::uint8_t> bytes) {
    auto message = std::make_shared<WsMessage>(WsMessage{true, std::move(bytes)});
    net::post(impl->ioc, [this, message] { impl->enqueue(message); });
}

void WsClient::sendText(std::string text) {
    auto message = std::make_shared<WsMessage>(
        WsMessage{false, std::vector<std::uint8_t>(text.begin(), text.end())});
    net::post(impl->ioc, [this, message] { impl->enqueue(message); });
}

std::optional<WsMessage> WsClient::receive(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    MutexLock guard(impl->lock);
    while (impl->inbox.empty() && impl->open && impl->arrived.waitUntil(impl->lock, deadline)) {
    }
    if (impl->inbox.empty()) {
        return std::nullopt;
    }
    WsMessage message = std::move(impl->inbox.front());
    impl->inbox.pop_front();
    return message;
}

bool WsClient::isOpen() const {
    MutexLock guard(impl->lock);
    return impl->open;
}

std::optional<int> WsClient::closeCode() const {
    MutexLock guard(impl->lock);
    return impl->closeCode;
}

void WsClient::close() {
    if (!impl->ioThread.joinable()) {
        return;
    }
    net::post(impl->ioc, [this] {
        impl->ws.async_close(websocket::close_code::normal, [this](beast::error_code) {
            beast::error_code ignored;
            beast::get_lowest_layer(impl->ws).socket().close(ignored);
        });
    });
    {
        // A server that does not answer the close handshake must not hang us.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        MutexLock guard(impl->lock);
        while (impl->open && impl->arrived.waitUntil(impl->lock, deadline)) {
        }
    }
    impl->ioc.stop();
    impl->ioThread.join();
    impl->markClosed();
}
