#include "api/api_resources.h"
#include "api/json_response.h"
#include "api/response_body.h"
#include "core/log.h"
#include "core/strict_json.h"
#include "identify/identify_mode.h"
#include "recordings/server_settings.h"

ApiResponse getSettings() {
    return jsonResponse(200, {{"identifyMode", identifyModeName(identifyMode())}});
}

ApiResponse putSettings(const std::string& body) {
    const nlohmann::json document = parseJsonStrictly(body);
    const auto mode = document.is_object() ? document.find("identifyMode") : document.end();
    if (document.is_discarded() || !document.is_object() || mode == document.end() ||
        !mode->is_string() || document.size() != 1) {
        return errorResponse(400,
                             "the body must be {\"identifyMode\": \"exact\"} or "
                             "{\"identifyMode\": \"calibrated\"}");
    }
    const auto chosen = identifyModeNamed(mode->get_ref<const std::string&>());
    if (!chosen) {
        return errorResponse(400, "identifyMode must be \"exact\" or \"calibrated\"");
    }
    if (!saveIdentifyMode(*chosen)) {
        return errorResponse(500, std::string(kSettingsFileName) + " could not be written");
    }
    setIdentifyMode(*chosen);
    logLine("api, identify mode %s", identifyModeName(*chosen));
    return getSettings();
}
