// Reading JSON that clients send: nlohmann::json without exceptions, and
// without its silent choice of the last value when an object names a key
// twice, which would let two readers of one text see two different requests.
#pragma once

#include <nlohmann/json.hpp>
#include <string_view>

// The document, or a discarded value when the text is not JSON or an object
// in it names a key twice.
nlohmann::json parseJsonStrictly(std::string_view text);
