#include <string>

#include "base/exit_application.h"
#include "protocol/version_text.h"
#include "server/commands/client_commands.h"
#include "server/commands/command_handlers.h"
#include "server/state/server_context.h"

namespace {

std::string versionText(const VersionMap& versions) {
    const auto entry = [&versions](const char* key) {
        const auto found = versions.find(key);
        return toNarrow(found == versions.end() ? L"" : found->second);
    };
    return std::string(serverVersion) + "/" + formatFirmwareVersion(entry("FW")) + "/" +
           formatHardwareVersion(entry("HW"));
}

// Every command waiting for the versions hears them; the versions are kept
// for GET /api/status.
void versionsArrived(ServerContext& server, const VersionMap& versions) {
    ServerContext::Versions& state = server.versions;
    state.asking = false;
    state.map = versions;
    state.known = server.handle->currentDevice() != nullptr;
    const std::string text = versionText(versions);
    std::vector<std::uint8_t> answer{GET_VERSION};
    answer.insert(answer.end(), text.begin(), text.end());
    std::vector<Origin> waiting;
    waiting.swap(state.waiting);
    // Each request is answered as if it had been asked alone: every client
    // hears one answer per request, as with any other command.
    for (const Origin& origin : waiting) {
        server.clientRegistry.answer(origin, answer.data(), answer.size());
    }
    std::vector<std::function<void()>> then;
    then.swap(state.then);
    for (const auto& run : then) {
        run();
    }
}

}  // namespace

void commandPing(ServerContext&, const CommandFrame& frame, Response& response) {
    response.push_back(PING);
    response.push_back(frame.length == 1 ? STATUS_OK : STATUS_FAILED);
}

void askForVersions(ServerContext& server, const std::optional<Origin>& waiter) {
    ServerContext::Versions& state = server.versions;
    if (waiter) {
        state.waiting.push_back(*waiter);
    }
    if (state.asking) {
        return;  // the answer under way serves this one too
    }
    state.asking = true;
    server.handle->getVersions(
        [&server](const VersionMap& versions) { versionsArrived(server, versions); });
}

void whenVersionsKnown(ServerContext& server, std::function<void()> then) {
    const tessel::DevicePtr device = server.handle->currentDevice();
    if (server.versions.known || !device || device->getConnectionState() != tessel::Connected) {
        then();
        return;
    }
    server.versions.then.push_back(std::move(then));
    askForVersions(server, std::nullopt);
}

void commandGetVersion(ServerContext& server, const CommandFrame& frame, Response& response) {
    response.push_back(GET_VERSION);
    // Answered once the armband has given both versions (or at once, from
    // the handle, without one).
    askForVersions(server, frame.origin);
}

void commandExitServer(ServerContext& server, const CommandFrame&, Response&) {
    exitApplication(server.eventQueue);
}
