// The identification mode, chosen through the server's settings API before
// identification starts.
#include <nlohmann/json.hpp>

#include "tools/client/http_client.h"
#include "tools/quillonctl/protocol_steps.h"

namespace {

using nlohmann::json;

constexpr const char* kSettings = "/api/settings";

// The server's identification mode, or an empty string after saying why not.
std::string currentMode(const Invocation& invocation, std::string& problem) {
    HttpReply reply;
    if (!serverHttpCall(invocation, {"GET", kSettings, "", false}, reply, problem)) {
        return {};
    }
    const json settings = json::parse(reply.body, nullptr, false);
    if (reply.status != 200 || !settings.is_object() || !settings.contains("identifyMode") ||
        !settings["identifyMode"].is_string()) {
        problem = "the server's settings answered " + std::to_string(reply.status) +
                  " without an identification mode";
        return {};
    }
    return settings["identifyMode"].get<std::string>();
}

bool putIdentifyMode(const Invocation& invocation, const std::string& mode) {
    const std::string body = json{{"identifyMode", mode}}.dump();
    HttpReply reply;
    std::string problem;
    if (!serverHttpCall(invocation, {"PUT", kSettings, body, true}, reply, problem)) {
        fail("cannot set the identification mode: " + problem);
        return false;
    }
    if (reply.status != 200) {
        fail("the server refused the identification mode " + mode + " (" +
             std::to_string(reply.status) + (reply.status == 409 ? ": it is busy)" : ")"));
        return false;
    }
    return true;
}

}  // namespace

int chooseIdentifyMode(Session& session, std::string* previous) {
    const Invocation& invocation = session.invocation;
    std::string problem;
    const std::string mode = currentMode(invocation, problem);
    if (mode.empty()) {
        return fail("cannot read the identification mode: " + problem);
    }
    if (mode != invocation.identifyMode) {
        if (!putIdentifyMode(invocation, invocation.identifyMode)) {
            return kExitFailed;
        }
        if (previous != nullptr) {
            *previous = mode;
        }
    }
    say("identification mode: " + invocation.identifyMode);
    return kExitOk;
}

int restoreIdentifyMode(Session& session, const std::string& mode) {
    if (mode.empty()) {
        return kExitOk;
    }
    if (!putIdentifyMode(session.invocation, mode)) {
        return kExitFailed;
    }
    say("identification mode back to " + mode);
    return kExitOk;
}
