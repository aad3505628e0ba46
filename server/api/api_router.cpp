#include "server/api/api_router.h"

#include <optional>

#include "server/api/api_resources.h"
#include "server/commands/command_handlers.h"
#include "server/net/response_body.h"
#include "server/state/server_context.h"

namespace {

enum class Resource {
    settings,
    status,
    recordings,
    recording,
    recordingCsv,
    recordingEdf,
    recordingWindow,
    evaluation,
    gestures
};

struct Route {
    Resource resource;
    int gesture = 0;
    const char* allow;       // the methods it answers, as in an Allow header
    std::size_t window = 0;  // 1-based, in the gesture's window log
};

// "K" of "/windows/K": 1 to 999999, no leading zero; 0 when it is not that.
std::size_t windowNumber(std::string_view text) {
    if (text.empty() || text.size() > 6 || text[0] == '0') {
        return 0;
    }
    std::size_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return 0;
        }
        number = number * 10 + static_cast<std::size_t>(c - '0');
    }
    return number;
}

// "3", "3.csv", "3.edf" or "3/windows/K" after "/api/recordings/".
std::optional<Route> recordingRoute(std::string_view rest) {
    constexpr std::string_view kWindows = "/windows/";
    if (rest.size() > 1 && rest.substr(1).starts_with(kWindows)) {
        const std::size_t window = windowNumber(rest.substr(1 + kWindows.size()));
        if (rest[0] < '1' || rest[0] > '8' || window == 0) {
            return std::nullopt;
        }
        return Route{Resource::recordingWindow, rest[0] - '0', "DELETE", window};
    }
    Resource resource = Resource::recording;
    const char* allow = "GET, HEAD, DELETE";
    if (rest.ends_with(".csv")) {
        resource = Resource::recordingCsv;
        allow = "GET, HEAD";
        rest.remove_suffix(4);
    } else if (rest.ends_with(".edf")) {
        resource = Resource::recordingEdf;
        allow = "GET, HEAD";
        rest.remove_suffix(4);
    }
    if (rest.size() != 1 || rest[0] < '1' || rest[0] > '8') {
        return std::nullopt;
    }
    return Route{resource, rest[0] - '0', allow};
}

std::optional<Route> findRoute(std::string_view path) {
    if (path == "/api/status") {
        return Route{Resource::status, 0, "GET, HEAD"};
    }
    if (path == "/api/recordings") {
        return Route{Resource::recordings, 0, "GET, HEAD"};
    }
    if (path == "/api/evaluation") {
        return Route{Resource::evaluation, 0, "GET, HEAD"};
    }
    if (path == "/api/settings") {
        return Route{Resource::settings, 0, "GET, HEAD, PUT"};
    }
    if (path == "/api/gestures") {
        return Route{Resource::gestures, 0, "GET, HEAD, PUT"};
    }
    constexpr std::string_view kRecordings = "/api/recordings/";
    if (path.starts_with(kRecordings)) {
        return recordingRoute(path.substr(kRecordings.size()));
    }
    return std::nullopt;
}

bool allows(const Route& route, std::string_view method) {
    const std::string_view allow = route.allow;
    std::size_t at = 0;
    while (at < allow.size()) {
        const std::size_t comma = allow.find(", ", at);
        const std::string_view one =
            allow.substr(at, comma == std::string_view::npos ? allow.npos : comma - at);
        if (one == method) {
            return true;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        at = comma + 2;
    }
    return false;
}

const char* modeWords(std::int32_t mode) {
    switch (mode) {
        case RECORD_MODE:
            return "recording";
        case IDENTIFY_MODE:
            return "identifying";
        case GESTURE_MODE:
            return "streaming the armband's gestures";
        default:
            return "busy";
    }
}

void carryOut(ServerContext& server, const Route& route, const ApiRequest& request, bool changes,
              const ApiReply& reply) {
    if (changes) {
        const std::int32_t mode = server.acquisition.dataMode;
        if (mode != IDLE_MODE) {
            reply(errorResponse(
                409, std::string("the server is ") + modeWords(mode) + "; stop that first"));
            return;
        }
        if (server.training.running) {
            reply(errorResponse(409, "the server is training a model; wait for it"));
            return;
        }
    }
    switch (route.resource) {
        case Resource::status:
            // Right after a connection the versions are still on their way:
            // the status waits for them (never asking the armband itself).
            whenVersionsKnown(server, [&server, reply] { reply(getStatus(server)); });
            return;
        case Resource::recordings:
            getRecordings(server, reply);
            return;
        case Resource::recording:
            if (changes) {
                deleteRecording(server, route.gesture, reply);
            } else {
                getRecording(server, route.gesture, reply);
            }
            return;
        case Resource::recordingCsv:
            exportRecording(server, route.gesture, ExportFormat::csv, reply);
            return;
        case Resource::recordingEdf:
            exportRecording(server, route.gesture, ExportFormat::edf, reply);
            return;
        case Resource::recordingWindow:
            deleteRecordingWindow(server, route.gesture, route.window, reply);
            return;
        case Resource::evaluation:
            getEvaluation(server, reply);
            return;
        case Resource::gestures:
            if (changes) {
                putGestureNames(server, request.body, reply);
            } else {
                reply(getGestureNames());
            }
            return;
        case Resource::settings:
            if (changes) {
                putSettings(server, request.body, reply);
            } else {
                reply(getSettings(server));
            }
            return;
    }
    reply(errorResponse(500, "no resource"));
}

}  // namespace

void handleApiRequest(ServerContext& server, const ApiRequest& request, ApiReply reply) {
    const std::optional<Route> route = findRoute(pathOf(request.target));
    if (!route) {
        reply(errorResponse(404, "no such resource"));
        return;
    }
    if (!allows(*route, request.method)) {
        ApiResponse response = errorResponse(405, "method not allowed");
        response.allow = route->allow;
        reply(std::move(response));
        return;
    }
    const bool changes = request.method != "GET" && request.method != "HEAD";
    if (changes && request.quillonRequest != "1") {
        reply(errorResponse(403,
                            "a request that changes something must carry the header "
                            "X-Quillon-Request: 1"));
        return;
    }
    carryOut(server, *route, request, changes, reply);
}
