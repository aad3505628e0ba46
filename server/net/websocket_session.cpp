#include "base/event_queue.h"
#include "base/log.h"
#include "protocol/wire.h"
#include "server/net/connection_sessions.h"

namespace server_detail {

namespace {

// A read buffer that grew past this for one large message is given back.
constexpr std::size_t kKeptReadBuffer = 64 * 1024;

std::size_t costOf(const ClientMessage& message) {
    return message->size() + kOutboxMessageOverhead;
}

}  // namespace

WebSocketSession::WebSocketSession(beast::tcp_stream stream, SessionShared& shared)
    : ws(std::move(stream)),
      events(shared.events),
      clients(shared.clients),
      budgets(shared.budgets) {}

WebSocketSession::~WebSocketSession() {
    if (inbound) {
        inbound->detach();
    }
}

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
    // A freed record may resume the reading from any thread: it posts here.
    inbound = std::make_shared<InboundBudget>(
        budgets, [weak = weak_from_this(), executor = ws.get_executor()] {
            net::post(executor, [weak] {
                if (auto self = weak.lock()) {
                    self->readWhenRoom();
                }
            });
        });
    registered = true;
    id = clients.add(shared_from_this());
    logLine("uWS connect, clients(%d)", static_cast<int>(clients.count()));
    readMessage();
}

void WebSocketSession::readMessage() {
    reading = true;
    ws.async_read(buffer, [self = shared_from_this()](beast::error_code ec, std::size_t) {
        self->onRead(ec);
    });
}

void WebSocketSession::readWhenRoom() {
    if (!registered || reading) {
        return;
    }
    if (inbound->mayRead() || !inbound->pause()) {
        readMessage();
    }
}

void WebSocketSession::onRead(beast::error_code ec) {
    reading = false;
    if (ec) {
        if (ec == websocket::error::message_too_big) {
            logLine("uWS closed a connection whose message exceeded %d bytes",
                    static_cast<int>(kMaxMessageBytes));
        }
        leaveRegistry();
        return;
    }
    const auto bytes = buffer.cdata();
    const auto* data = static_cast<const std::uint8_t*>(bytes.data());
    logLine("uWS received msg, length(%d) opCode(%d)", static_cast<int>(bytes.size()),
            ws.got_text() ? 1 : 2);
    EventRecord record = inbound->makeRecord(data, bytes.size());
    // The exit command goes in front of every queued record, so the server ends
    // within the event being handled, whatever clients have queued.
    if (bytes.size() > 0 && data[0] == EXIT_SERVER) {
        events.pushUrgent(Event{std::move(record), Origin{id, std::nullopt}, nullptr});
    } else {
        events.push(std::move(record), Origin{id, std::nullopt});
    }
    buffer.consume(buffer.size());
    if (buffer.capacity() > kKeptReadBuffer) {
        buffer.shrink_to_fit();
    }
    readWhenRoom();
}

void WebSocketSession::send(ClientMessage message) {
    net::post(ws.get_executor(),
              [self = shared_from_this(), message = std::move(message)]() mutable {
                  self->enqueue(std::move(message));
              });
}

void WebSocketSession::enqueue(ClientMessage message) {
    if (!registered) {
        return;
    }
    if (outboxBytes + costOf(message) > kMaxOutboxBytes) {
        logLine("uWS client fell %d bytes behind, closing its connection",
                static_cast<int>(outboxBytes));
        closeNow();
        return;
    }
    outboxBytes += costOf(message);
    outbox.push_back(std::move(message));
    if (!writing) {
        writeNext();
    }
}

void WebSocketSession::writeNext() {
    writing = true;
    ws.async_write(
        net::buffer(*outbox.front()),
        [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onWrite(ec); });
}

void WebSocketSession::onWrite(beast::error_code ec) {
    writing = false;
    outboxBytes -= costOf(outbox.front());
    outbox.pop_front();
    if (ec) {
        closeNow();
        return;
    }
    if (!outbox.empty() && !closing) {
        writeNext();
    }
}

void WebSocketSession::closeNow() {
    leaveRegistry();
    beast::error_code ignored;
    beast::get_lowest_layer(ws).socket().shutdown(tcp::socket::shutdown_both, ignored);
    beast::get_lowest_layer(ws).socket().close(ignored);
}

void WebSocketSession::closeGoingAway(std::function<void()> closed) {
    leaveRegistry();
    if (closing || !ws.is_open()) {
        closeNow();
        closed();
        return;
    }
    closing = true;
    ws.async_close(websocket::close_code::going_away,
                   [self = shared_from_this(), closed = std::move(closed)](beast::error_code) {
                       self->closeNow();
                       closed();
                   });
}

void WebSocketSession::leaveRegistry() {
    if (inbound) {
        inbound->detach();
    }
    if (!registered) {
        return;
    }
    registered = false;
    const std::size_t count = clients.remove(this);
    logLine("uWS disconnect, clients(%d)", static_cast<int>(count));
}

}  // namespace server_detail
