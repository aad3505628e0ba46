// The HTTP sessions' side of the API: a request under /api/ is handed to the
// main thread, and its response is written here once the main thread posts it
// back. The session reads nothing more until then.
#include "base/log.h"
#include "server/net/api_calls.h"
#include "server/net/connection_sessions.h"

namespace server_detail {

namespace {

constexpr auto kWriteTimeout = std::chrono::seconds(30);

}  // namespace

void HttpSession::submitApiRequest() {
    const auto& request = parser->get();
    ApiRequest api;
    api.method = std::string(view(request.method_string()));
    api.target = std::string(view(request.target()));
    api.quillonRequest = std::string(view(request["X-Quillon-Request"]));
    api.body = request.body();
    // The session travels to the main thread (and maybe the background
    // worker) and back inside the reply. However many copies of the reply are
    // made and wherever the last goes, the session is handed back to this
    // thread, to be answered or released here (or, at shutdown, after this
    // thread has ended).
    struct Travelling {
        explicit Travelling(std::shared_ptr<HttpSession> owner)
            : session(std::move(owner)), executor(session->stream.get_executor()) {}
        ~Travelling() {
            if (session) {
                net::post(executor, [released = std::move(session)] {});
            }
        }
        std::shared_ptr<HttpSession> session;  // taken by the one reply that answers
        beast::tcp_stream::executor_type executor;
    };
    auto travelling = std::make_shared<Travelling>(shared_from_this());
    const bool queued = shared.api.submit(std::move(api), [travelling](ApiResponse answer) {
        std::shared_ptr<HttpSession> session = std::move(travelling->session);
        if (!session) {
            return;  // answered already
        }
        net::post(travelling->executor, [session = std::move(session), answer = std::move(answer)] {
            session->answerApiRequest(answer);
        });
    });
    if (!queued) {
        respond(http::status::service_unavailable, "application/json",
                "{\"error\": \"too many requests are waiting; try again shortly\"}\n");
    }
}

void HttpSession::answerApiRequest(const ApiResponse& answer) {
    const auto& request = parser->get();
    const bool keepAlive = request.keep_alive() && answer.status != 403;
    if (answer.stream) {
        streamHeader = std::make_shared<http::response<http::empty_body>>(
            static_cast<http::status>(answer.status), request.version());
        streamHeader->set(http::field::content_type, answer.contentType);
        streamHeader->set(http::field::cache_control, "no-store");
        streamHeader->set("X-Content-Type-Options", "nosniff");
        if (!answer.disposition.empty()) {
            streamHeader->set(http::field::content_disposition, answer.disposition);
        }
        streamHeader->keep_alive(keepAlive);
        writeStream(answer.stream, keepAlive);
        return;
    }
    apiBody = answer.body ? answer.body : std::make_shared<const std::string>();
    apiResponse = std::make_shared<http::response<http::span_body<const char>>>(
        static_cast<http::status>(answer.status), request.version());
    auto& out = *apiResponse;
    out.set(http::field::content_type, answer.contentType);
    out.set(http::field::cache_control, "no-store");
    out.set("X-Content-Type-Options", "nosniff");
    if (!answer.allow.empty()) {
        out.set(http::field::allow, answer.allow);
    }
    if (!answer.disposition.empty()) {
        out.set(http::field::content_disposition, answer.disposition);
    }
    out.keep_alive(keepAlive);
    if (request.method() == http::verb::head) {
        out.content_length(apiBody->size());  // what a GET would carry
    } else {
        out.body() = http::span_body<const char>::value_type(apiBody->data(), apiBody->size());
        out.prepare_payload();
    }
    stream.expires_after(kWriteTimeout);
    http::async_write(stream, out,
                      [self = shared_from_this(), keepAlive = out.keep_alive()](
                          beast::error_code ec, std::size_t) {
                          self->apiResponse.reset();
                          self->apiBody.reset();
                          self->onWrite(keepAlive, ec);
                      });
}

void HttpSession::writeStream(std::shared_ptr<BodyStream> body, bool keepAlive) {
    const std::uint64_t length = body->length();
    streamHeader->content_length(length);
    streamSerializer = std::make_shared<http::response_serializer<http::empty_body>>(*streamHeader);
    const bool head = parser->get().method() == http::verb::head;
    stream.expires_after(kWriteTimeout);
    http::async_write_header(stream, *streamSerializer,
                             [self = shared_from_this(), body = head ? nullptr : std::move(body),
                              length, keepAlive](beast::error_code ec, std::size_t) mutable {
                                 self->streamSerializer.reset();
                                 self->streamHeader.reset();
                                 if (ec || !body) {
                                     self->onWrite(keepAlive, ec);
                                     return;
                                 }
                                 self->writePiece(std::move(body), length, keepAlive);
                             });
}

void HttpSession::writePiece(std::shared_ptr<BodyStream> body, std::uint64_t left, bool keepAlive) {
    if (!body->next(piece) || piece.size() > left || (piece.empty() && left > 0)) {
        // The body is not what its header promised: the client must not take it whole.
        logLine("uWS export to %s cut short: its file could not be read", peerAddress.c_str());
        closeNow();
        return;
    }
    if (piece.empty()) {
        piece.shrink_to_fit();
        onWrite(keepAlive, {});
        return;
    }
    left -= piece.size();
    stream.expires_after(kWriteTimeout);
    net::async_write(stream, net::buffer(piece),
                     [self = shared_from_this(), body = std::move(body), left, keepAlive](
                         beast::error_code ec, std::size_t) mutable {
                         if (ec) {
                             self->closeNow();
                             return;
                         }
                         self->writePiece(std::move(body), left, keepAlive);
                     });
}

}  // namespace server_detail
