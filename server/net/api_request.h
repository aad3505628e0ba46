// One request of the HTTP API under /api/ and its response, as plain values:
// the server's HTTP sessions translate to and from them, and everything else
// (routing, checks, the resources) works on them alone.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/body_stream.h"

struct ApiRequest {
    std::string method;          // "GET", "PUT", ... as sent
    std::string target;          // path and query, as sent (access has been checked already)
    std::string quillonRequest;  // the X-Quillon-Request header, "" when absent
    std::string body;
};

struct ApiResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::shared_ptr<const std::string> body;  // never null once built
    // A body too large to hold, sent in its place piece by piece by the HTTP
    // session (server thread); `body` is then empty.
    std::shared_ptr<BodyStream> stream;
    std::string allow;        // the Allow header of a 405
    std::string disposition;  // Content-Disposition of an export
};

// The path of a request target, the query left out.
inline std::string_view pathOf(std::string_view target) {
    return target.substr(0, target.find('?'));
}

// Whether the path of a request target belongs to the API.
inline bool isApiTarget(std::string_view target) {
    const std::string_view path = pathOf(target);
    return path == "/api" || path.starts_with("/api/");
}
