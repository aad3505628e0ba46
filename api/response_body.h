// Response bodies and the memory they hold. A body is built on the main thread
// and freed by the HTTP session once written; until then it counts towards
// bodyBytesInFlight, so that large exports can be refused while earlier ones
// are still being sent. Any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "api/api_request.h"

// Bytes of response bodies built and not yet freed, and the most allowed.
std::size_t bodyBytesInFlight();
inline constexpr std::size_t kMaxBodyBytesInFlight = 64 * 1024 * 1024;

std::shared_ptr<const std::string> makeBody(std::string text);

ApiResponse textResponse(int status, std::string contentType, std::string body);
// {"error": message}
ApiResponse errorResponse(int status, const std::string& message);
