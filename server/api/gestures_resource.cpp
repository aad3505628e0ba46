#include "base/log.h"
#include "server/api/api_resources.h"
#include "server/api/json_response.h"
#include "server/net/response_body.h"
#include "server/state/server_context.h"
#include "store/gesture_name_file.h"

namespace {

// Eight names of at most 40 bytes each, written out as JSON, fit well within this.
constexpr std::size_t kMaxNamesBodyBytes = 4096;

}  // namespace

ApiResponse getGestureNames() {
    return jsonResponse(200, {{"names", loadGestureNames()}});
}

namespace {

ApiResponse changeGestureNames(const std::string& body) {
    std::string error;
    const std::optional<GestureNameList> names = mergeGestureNames(body, loadGestureNames(), error);
    if (!names) {
        return errorResponse(400, error);
    }
    if (!saveGestureNames(*names)) {
        return errorResponse(500, std::string(kGestureNamesFileName) + " could not be written");
    }
    logLine("api, gesture names changed");
    return jsonResponse(200, {{"names", *names}});
}

}  // namespace

void putGestureNames(ServerContext& server, const std::string& body, ApiReply reply) {
    if (body.size() > kMaxNamesBodyBytes) {
        reply(errorResponse(
            413, "the names take at most " + std::to_string(kMaxNamesBodyBytes) + " bytes"));
        return;
    }
    // Written by the background worker, after what it was given before.
    server.inBackground([body](std::stop_token) { return changeGestureNames(body); },
                        [reply](ApiResponse response) { reply(std::move(response)); });
}
