#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>

#include "base/log.h"
#include "server/net/api_request.h"
#include "server/net/connection_sessions.h"
#include "server/net/web_assets.h"

namespace server_detail {

namespace {

constexpr std::size_t kMaxRequestBody = 64 * 1024;
constexpr auto kDrainTime = std::chrono::seconds(2);

template <typename Name>
std::optional<std::string_view> fieldOf(const http::request<http::string_body>& request,
                                        Name name) {
    const auto found = request.find(name);
    if (found == request.end()) {
        return std::nullopt;
    }
    return view(found->value());
}

// The answer to a request the parser refused; nothing for a connection that
// simply ended or went quiet.
std::optional<http::status> statusForParseError(const beast::error_code& ec) {
    if (ec == http::error::header_limit) {
        return http::status::request_header_fields_too_large;
    }
    if (ec == http::error::body_limit) {
        return http::status::payload_too_large;
    }
    if (ec.category() == http::make_error_code(http::error::bad_method).category() &&
        ec != http::error::end_of_stream && ec != http::error::partial_message &&
        ec != http::error::need_more) {
        return http::status::bad_request;
    }
    return std::nullopt;
}

// Framing that the parser takes but that two readers could read differently:
// several Content-Length fields, a list in one, a Transfer-Encoding other than chunked.
bool ambiguousFraming(const http::request<http::string_body>& request) {
    const auto lengths = request.equal_range(http::field::content_length);
    const auto count = std::distance(lengths.first, lengths.second);
    if (count > 1) {
        return true;
    }
    if (count == 1) {
        const std::string_view value = view(lengths.first->value());
        if (value.empty() || !std::all_of(value.begin(), value.end(),
                                          [](unsigned char c) { return c >= '0' && c <= '9'; })) {
            return true;
        }
    }
    const auto encoding = request.find(http::field::transfer_encoding);
    return encoding != request.end() && !beast::iequals(encoding->value(), "chunked");
}

}  // namespace

bool makeRoomForHttpSession(SessionShared& shared) {
    auto& list = shared.httpSessions;
    std::erase_if(list, [](const auto& weak) { return weak.expired(); });
    if (list.size() < kMaxHttpSessions) {
        return true;
    }
    std::shared_ptr<HttpSession> longest;
    for (const auto& weak : list) {
        const auto session = weak.lock();
        if (session && session->waitingSince() &&
            (!longest || *session->waitingSince() < *longest->waitingSince())) {
            longest = session;
        }
    }
    if (!longest) {
        return false;
    }
    longest->closeNow();
    return true;
}

HttpSession::HttpSession(tcp::socket socket, SessionShared& sessionsShared)
    : stream(std::move(socket)), shared(sessionsShared) {
    beast::error_code ec;
    const tcp::endpoint peer = stream.socket().remote_endpoint(ec);
    peerAddress = ec ? std::string() : peer.address().to_string();
    const tcp::endpoint local = stream.socket().local_endpoint(ec);
    localAddress = ec ? std::string() : local.address().to_string();
}

void HttpSession::start() {
    shared.httpSessions.push_back(weak_from_this());
    readRequest();
}

void HttpSession::closeNow() {
    beast::error_code ignored;
    stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream.socket().close(ignored);
}

void HttpSession::readRequest() {
    parser = std::make_unique<http::request_parser<http::string_body>>();
    parser->body_limit(kMaxRequestBody);
    stream.expires_after(kRequestWait);
    waiting = std::chrono::steady_clock::now();
    http::async_read(
        stream, buffer, *parser,
        [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onRead(ec); });
}

void HttpSession::onRead(beast::error_code ec) {
    waiting.reset();
    if (ec) {
        if (const auto status = statusForParseError(ec)) {
            logLine("uWS refused a request from %s that cannot be read: %s", peerAddress.c_str(),
                    ec.message().c_str());
            refuseAndClose(*status, "the request cannot be read: " + ec.message() + "\n");
            return;
        }
        stream.socket().shutdown(tcp::socket::shutdown_both, ec);
        return;
    }
    const auto& request = parser->get();
    if (ambiguousFraming(request)) {
        logLine("uWS refused a request from %s whose length is ambiguous", peerAddress.c_str());
        refuseAndClose(http::status::bad_request, "the request's length is ambiguous\n");
        return;
    }
    bool tokenInTarget = false;
    if (!admitted(tokenInTarget)) {
        return;
    }
    if (websocket::is_upgrade(request)) {
        upgrade();
        return;
    }
    if (isApiTarget(view(request.target()))) {
        submitApiRequest();
        return;
    }
    const bool head = request.method() == http::verb::head;
    if (request.method() != http::verb::get && !head) {
        respond(http::status::method_not_allowed, "text/plain", "method not allowed\n");
        return;
    }
    std::string_view target = view(request.target());
    target = target.substr(0, target.find('?'));
    if (const WebAsset* asset = findWebAsset(target)) {
        // A page opened with its token keeps it as a cookie for what it loads next.
        const std::string cookie = tokenInTarget
                                       ? std::string(kTokenCookie) + "=" + shared.policy.token +
                                             "; Path=/; HttpOnly; SameSite=Strict"
                                       : std::string();
        respond(http::status::ok, asset->contentType, asset->body, !head, cookie);
    } else {
        respond(http::status::not_found, "text/plain", "not found\n", !head);
    }
}

bool HttpSession::admitted(bool& tokenInTarget) {
    const auto& request = parser->get();
    const std::string_view target = view(request.target());
    AccessRequest asked;
    asked.peerAddress = peerAddress;
    asked.localAddress = localAddress;
    asked.host = fieldOf(request, http::field::host);
    asked.origin = fieldOf(request, http::field::origin);
    asked.target = target;
    asked.tokenHeader = fieldOf(request, beast::string_view("X-Quillon-Token")).value_or("");
    asked.cookie = fieldOf(request, http::field::cookie).value_or("");
    const AccessVerdict verdict = checkAccess(shared.policy, asked);
    if (verdict.status == 0) {
        tokenInTarget = verdict.tokenInTarget;
        return true;
    }
    // The query is left out of the log line: it may hold a token.
    const std::string_view path = target.substr(0, std::min<std::size_t>(target.find('?'), 80));
    const std::string_view origin = asked.origin.value_or("none");
    logLine("uWS refused %s %.*s from %s (origin %.*s): %d %s",
            std::string(view(request.method_string())).c_str(), static_cast<int>(path.size()),
            path.data(), peerAddress.c_str(),
            static_cast<int>(std::min<std::size_t>(origin.size(), 80)), origin.data(),
            verdict.status, verdict.reason.c_str());
    const std::string body = nlohmann::json{{"error", verdict.reason}}.dump(
                                 -1, ' ', false, nlohmann::json::error_handler_t::replace) +
                             "\n";
    refuseAndClose(static_cast<http::status>(verdict.status), body);
    return false;
}

void HttpSession::upgrade() {
    auto& sessions = shared.sessions;
    std::erase_if(sessions, [](const auto& weak) { return weak.expired(); });
    if (sessions.size() >= kMaxWebSocketClients) {
        logLine("uWS refused a connection from %s: %zu clients are connected already",
                peerAddress.c_str(), sessions.size());
        refuseAndClose(http::status::service_unavailable, "too many clients\n");
        return;
    }
    stream.expires_never();
    auto session = std::make_shared<WebSocketSession>(std::move(stream), shared);
    sessions.push_back(session);
    session->accept(parser->release());
}

void HttpSession::respond(http::status status, std::string_view contentType, std::string_view body,
                          bool withBody, std::string_view cookie) {
    const auto& request = parser->get();
    response = std::make_shared<http::response<http::string_body>>(status, request.version());
    response->set(http::field::content_type,
                  beast::string_view(contentType.data(), contentType.size()));
    response->set(http::field::cache_control, "no-store");
    if (!cookie.empty()) {
        response->set(http::field::set_cookie, beast::string_view(cookie.data(), cookie.size()));
    }
    response->keep_alive(request.keep_alive() && status != http::status::forbidden);
    if (withBody) {
        response->body().assign(body.data(), body.size());
        response->prepare_payload();
    } else {
        response->content_length(body.size());  // what a GET would carry
    }
    http::async_write(stream, *response,
                      [self = shared_from_this(), keepAlive = response->keep_alive()](
                          beast::error_code ec, std::size_t) { self->onWrite(keepAlive, ec); });
}

void HttpSession::refuseAndClose(http::status status, std::string_view text) {
    response = std::make_shared<http::response<http::string_body>>(status, 11);
    response->set(http::field::content_type,
                  text.starts_with('{') ? "application/json" : "text/plain");
    response->set(http::field::cache_control, "no-store");
    response->keep_alive(false);
    response->body().assign(text.data(), text.size());
    response->prepare_payload();
    stream.expires_after(kRequestWait);
    http::async_write(stream, *response,
                      [self = shared_from_this()](beast::error_code ec, std::size_t) {
                          if (ec) {
                              self->closeNow();
                              return;
                          }
                          self->drainAndClose();
                      });
}

void HttpSession::drainAndClose() {
    beast::error_code ignored;
    stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream.expires_after(kDrainTime);
    buffer.consume(buffer.size());
    stream.async_read_some(buffer.prepare(4096),
                           [self = shared_from_this()](beast::error_code ec, std::size_t) {
                               if (ec) {
                                   self->closeNow();
                                   return;
                               }
                               self->drainAndClose();
                           });
}

void HttpSession::onWrite(bool keepAlive, beast::error_code ec) {
    if (ec || !keepAlive) {
        stream.socket().shutdown(tcp::socket::shutdown_send, ec);
        return;
    }
    readRequest();
}

}  // namespace server_detail
