#include "base/log.h"
#include "base/strict_json.h"
#include "server/api/api_resources.h"
#include "server/api/json_response.h"
#include "server/net/response_body.h"
#include "server/state/server_context.h"
#include "signal/identify_mode.h"
#include "store/server_settings.h"

ApiResponse getSettings(const ServerContext& server) {
    return jsonResponse(200, {{"identifyMode", identifyModeName(server.identifyMode)}});
}

void putSettings(ServerContext& server, const std::string& body, ApiReply reply) {
    const nlohmann::json document = parseJsonStrictly(body);
    const auto mode = document.is_object() ? document.find("identifyMode") : document.end();
    if (document.is_discarded() || !document.is_object() || mode == document.end() ||
        !mode->is_string() || document.size() != 1) {
        reply(errorResponse(400,
                            "the body must be {\"identifyMode\": \"exact\"} or "
                            "{\"identifyMode\": \"calibrated\"}"));
        return;
    }
    const auto chosen = identifyModeNamed(mode->get_ref<const std::string&>());
    if (!chosen) {
        reply(errorResponse(400, "identifyMode must be \"exact\" or \"calibrated\""));
        return;
    }
    // Written by the background worker; the mode changes once it is kept.
    server.inBackground(
        [mode = *chosen](std::stop_token) { return saveIdentifyMode(mode); },
        [&server, mode = *chosen, reply](bool saved) {
            if (!saved) {
                reply(errorResponse(500, std::string(kSettingsFileName) + " could not be written"));
                return;
            }
            server.identifyMode = mode;
            logLine("api, identify mode %s", identifyModeName(mode));
            reply(getSettings(server));
        });
}
