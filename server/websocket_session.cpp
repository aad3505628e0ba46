#include "core/event_queue.h"
#include "core/log.h"
#include "server/connection_sessions.h"

namespace server_detail {

WebSocketSession::WebSocketSession(beast::tcp_stream stream, SessionList& list)
    : ws(std::move(stream)), sessions(list) {}

void WebSocketSession::accept(http::request<http::string_body> request) {
    ws.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws.read_message_max(kMaxMessageBytes);
    ws.binary(true);
    ws.async_accept(request,
                    [self = shared_from_this()](beast::error_code ec) { self->onAccept(ec); });
}

void WebSocketSession::onAccept(beast::error_code ec) {
    if (ec) {
        return;
    }
    registered = true;
    const std::size_t count = clientRegistry.add(shared_from_this());
    logLine("uWS connect, clients(%d)", static_cast<int>(count));
    readMessage();
}

void WebSocketSession::readMessage() {
    ws.async_read(buffer, [self = shared_from_this()](beast::error_code ec, std::size_t) {
        self->onRead(ec);
    });
}

void WebSocketSession::onRead(beast::error_code ec) {
    if (ec) {
        if (ec == websocket::error::message_too_big) {
            logLine("uWS closed a connection whose message exceeded %d bytes",
                    static_cast<int>(kMaxMessageBytes));
        }
        leaveRegistry();
        return;
    }
    const auto bytes = buffer.cdata();
    logLine("uWS received msg, length(%d) opCode(%d)", static_cast<int>(bytes.size()),
            ws.got_text() ? 1 : 2);
    eventQueue.push(makeEventRecord(APP_CLIENT_EVT, static_cast<const std::uint8_t*>(bytes.data()),
                                    bytes.size()));
    buffer.consume(buffer.size());
    readMessage();
}

void WebSocketSession::send(ClientMessage message) {
    net::post(ws.get_executor(), [self = shared_from_this(), message = std::move(message)]() mutable {
        self->enqueue(std::move(message));
    });
}

void WebSocketSession::enqueue(ClientMessage message) {
    if (!registered) {
        return;
    }
    if (outboxBytes + message->size() > kMaxOutboxBytes) {
        logLine("uWS client fell %d bytes behind, closing its connection",
                static_cast<int>(outboxBytes));
        closeNow();
        return;
    }
    outboxBytes += message->size();
    outbox.push_back(std::move(message));
    if (!writing) {
        writeNext();
    }
}

void WebSocketSession::writeNext() {
    writing = true;
    ws.async_write(net::buffer(*outbox.front()),
                   [self = shared_from_this()](beast::error_code ec, std::size_t) {
                       self->onWrite(ec);
                   });
}

void WebSocketSession::onWrite(beast::error_code ec) {
    writing = false;
    outboxBytes -= outbox.front()->size();
    outbox.pop_front();
    if (ec) {
        closeNow();
        return;
    }
    if (!outbox.empty()) {
        writeNext();
    }
}

void WebSocketSession::closeNow() {
    leaveRegistry();
    beast::error_code ignored;
    beast::get_lowest_layer(ws).socket().shutdown(tcp::socket::shutdown_both, ignored);
    beast::get_lowest_layer(ws).socket().close(ignored);
}

void WebSocketSession::leaveRegistry() {
    if (!registered) {
        return;
    }
    registered = false;
    const std::size_t count = clientRegistry.remove(this);
    logLine("uWS disconnect, clients(%d)", static_cast<int>(count));
}

}  // namespace server_detail
