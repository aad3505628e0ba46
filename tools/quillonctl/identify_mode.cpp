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
    if (!httpCall(invocation.host, invocation.port, {"GET", kSettings, "", false},
                  invocation.waitLimit(), reply, problem)) {
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

}  // namespace

int chooseIdentifyMode(Session& session) {
    const Invocation& invocation = session.invocation;
    std::string problem;
    const std::string mode = currentMode(invocation, problem);
    if (mode.empty()) {
        return fail("cannot read the identification mode: " + problem);
    }
    if (mode != invocation.identifyMode) {
        const std::string body = json{{"identifyMode", invocation.identifyMode}}.dump();
        HttpReply reply;
        if (!httpCall(invocation.host, invocation.port, {"PUT", kSettings, body, true},
                      invocation.waitLimit(), reply, problem)) {
            return fail("cannot set the identification mode: " + problem);
        }
        if (reply.status != 200) {
            return fail("the server refused the identification mode " + invocation.identifyMode +
                        " (" + std::to_string(reply.status) +
                        (reply.status == 409 ? ": it is busy)" : ")"));
        }
    }
    say("identification mode: " + invocation.identifyMode);
    return kExitOk;
}
