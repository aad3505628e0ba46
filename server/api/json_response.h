// JSON bodies of the API: nlohmann::json documents written out without ever
// throwing (invalid UTF-8 is replaced).
#pragma once

#include <nlohmann/json.hpp>
#include <optional>

#include "server/net/api_request.h"

ApiResponse jsonResponse(int status, const nlohmann::json& document);

// A number, or null when there is none.
template <typename T>
nlohmann::json orNull(const std::optional<T>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// The gesture numbers 1 to 8 whose bits are set, in increasing order.
nlohmann::json gestureList(std::uint8_t mask);
