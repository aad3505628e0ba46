#include "server/net/response_body.h"

#include <nlohmann/json.hpp>

ApiResponse textResponse(int status, std::string contentType, std::string body) {
    ApiResponse response;
    response.status = status;
    response.contentType = std::move(contentType);
    response.body = std::make_shared<const std::string>(std::move(body));
    return response;
}

ApiResponse errorResponse(int status, const std::string& message) {
    nlohmann::json document;
    document["error"] = message;
    return textResponse(
        status, "application/json",
        document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}
