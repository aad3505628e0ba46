#include "server/api/json_response.h"

#include "server/net/response_body.h"

ApiResponse jsonResponse(int status, const nlohmann::json& document) {
    return textResponse(
        status, "application/json",
        document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

nlohmann::json gestureList(std::uint8_t mask) {
    nlohmann::json list = nlohmann::json::array();
    for (int bit = 0; bit < 8; ++bit) {
        if ((mask >> bit) & 1u) {
            list.push_back(bit + 1);
        }
    }
    return list;
}
