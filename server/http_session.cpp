#include <chrono>

#include "api/api_router.h"
#include "core/log.h"
#include "server/connection_sessions.h"
#include "server/origin_policy.h"
#include "server/web_assets.h"

namespace server_detail {

namespace {

constexpr auto kRequestTimeout = std::chrono::seconds(30);
constexpr std::size_t kMaxRequestBody = 64 * 1024;

}  // namespace

HttpSession::HttpSession(tcp::socket socket, SessionList& list)
    : stream(std::move(socket)), sessions(list) {}

void HttpSession::start() {
    readRequest();
}

void HttpSession::readRequest() {
    parser = std::make_unique<http::request_parser<http::string_body>>();
    parser->body_limit(kMaxRequestBody);
    stream.expires_after(kRequestTimeout);
    http::async_read(
        stream, buffer, *parser,
        [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onRead(ec); });
}

void HttpSession::onRead(beast::error_code ec) {
    if (ec) {
        stream.socket().shutdown(tcp::socket::shutdown_both, ec);
        return;
    }
    const auto& request = parser->get();
    if (websocket::is_upgrade(request)) {
        upgrade();
        return;
    }
    if (isApiTarget(std::string_view(request.target().data(), request.target().size()))) {
        submitApiRequest();
        return;
    }
    const bool head = request.method() == http::verb::head;
    if (request.method() != http::verb::get && !head) {
        respond(http::status::method_not_allowed, "text/plain", "method not allowed\n");
        return;
    }
    std::string_view target(request.target().data(), request.target().size());
    target = target.substr(0, target.find('?'));
    if (const WebAsset* asset = findWebAsset(target)) {
        respond(http::status::ok, asset->contentType, asset->body, !head);
    } else {
        respond(http::status::not_found, "text/plain", "not found\n", !head);
    }
}

void HttpSession::upgrade() {
    const auto& request = parser->get();
    const auto origin = request.find(http::field::origin);
    const bool hasOrigin = origin != request.end();
    const std::string_view originText =
        hasOrigin ? std::string_view(origin->value().data(), origin->value().size())
                  : std::string_view();
    const auto host = request[http::field::host];
    if (!isOriginAllowed(hasOrigin, originText, std::string_view(host.data(), host.size()))) {
        logLine("uWS refused connection from origin %.*s", static_cast<int>(originText.size()),
                originText.data());
        respond(http::status::forbidden, "text/plain", "origin not allowed\n");
        return;
    }
    stream.expires_never();
    auto session = std::make_shared<WebSocketSession>(std::move(stream));
    std::erase_if(sessions, [](const auto& weak) { return weak.expired(); });
    sessions.push_back(session);
    session->accept(parser->release());
}

void HttpSession::respond(http::status status, std::string_view contentType, std::string_view body,
                          bool withBody) {
    const auto& request = parser->get();
    response = std::make_shared<http::response<http::string_body>>(status, request.version());
    response->set(http::field::content_type,
                  beast::string_view(contentType.data(), contentType.size()));
    response->set(http::field::cache_control, "no-store");
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

void HttpSession::onWrite(bool keepAlive, beast::error_code ec) {
    if (ec || !keepAlive) {
        stream.socket().shutdown(tcp::socket::shutdown_send, ec);
        return;
    }
    readRequest();
}

}  // namespace server_detail
