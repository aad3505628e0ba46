// Response bodies of the API: text, and JSON errors.
#pragma once

#include <string>

#include "server/net/api_request.h"

ApiResponse textResponse(int status, std::string contentType, std::string body);
// {"error": message}
ApiResponse errorResponse(int status, const std::string& message);
