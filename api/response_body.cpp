#include "api/response_body.h"

#include <atomic>

#include <nlohmann/json.hpp>

namespace {

std::atomic<std::size_t> inFlight{0};

}  // namespace

std::size_t bodyBytesInFlight() {
    return inFlight.load();
}

std::shared_ptr<const std::string> makeBody(std::string text) {
    const std::size_t size = text.size();
    inFlight.fetch_add(size);
    return std::shared_ptr<const std::string>(new std::string(std::move(text)),
                                              [size](const std::string* body) {
                                                  inFlight.fetch_sub(size);
                                                  delete body;
                                              });
}

ApiResponse textResponse(int status, std::string contentType, std::string body) {
    ApiResponse response;
    response.status = status;
    response.contentType = std::move(contentType);
    response.body = makeBody(std::move(body));
    return response;
}

ApiResponse errorResponse(int status, const std::string& message) {
    nlohmann::json document;
    document["error"] = message;
    return textResponse(
        status, "application/json",
        document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}
