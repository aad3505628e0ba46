#include "api/api_resources.h"
#include "api/json_response.h"
#include "api/response_body.h"
#include "core/log.h"
#include "recordings/gesture_name_file.h"

namespace {

// Eight names of at most 40 bytes each, written out as JSON, fit well within this.
constexpr std::size_t kMaxNamesBodyBytes = 4096;

}  // namespace

ApiResponse getGestureNames() {
    return jsonResponse(200, {{"names", loadGestureNames()}});
}

ApiResponse putGestureNames(const std::string& body) {
    if (body.size() > kMaxNamesBodyBytes) {
        return errorResponse(
            413, "the names take at most " + std::to_string(kMaxNamesBodyBytes) + " bytes");
    }
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
