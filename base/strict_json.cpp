#include "base/strict_json.h"

#include <set>
#include <string>
#include <vector>

nlohmann::json parseJsonStrictly(std::string_view text) {
    std::vector<std::set<std::string>> keys;  // of each object being read, innermost last
    bool duplicate = false;
    const auto watch = [&keys, &duplicate](int, nlohmann::json::parse_event_t event,
                                           nlohmann::json& parsed) {
        if (event == nlohmann::json::parse_event_t::object_start) {
            keys.emplace_back();
        } else if (event == nlohmann::json::parse_event_t::object_end && !keys.empty()) {
            keys.pop_back();
        } else if (event == nlohmann::json::parse_event_t::key && !keys.empty() &&
                   parsed.is_string() &&
                   !keys.back().insert(parsed.get_ref<const std::string&>()).second) {
            duplicate = true;
        }
        return true;
    };
    nlohmann::json document = nlohmann::json::parse(text, watch, false);
    if (duplicate) {
        return nlohmann::json(nlohmann::json::value_t::discarded);
    }
    return document;
}
