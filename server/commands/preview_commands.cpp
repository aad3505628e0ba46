#include "base/log.h"
#include "server/commands/client_commands.h"
#include "server/commands/command_handlers.h"
#include "server/commands/stream_switching.h"
#include "server/device/hub_events.h"
#include "server/state/server_context.h"

void commandStartPreview(ServerContext& server, const CommandFrame& frame, Response& response) {
    response.push_back(START_PREVIEW);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    // A recording previews its window by itself; the armband's gesture stream
    // has the raw stream switched off.
    AcquisitionState& state = server.acquisition;
    if (state.dataMode != IDLE_MODE && state.dataMode != IDENTIFY_MODE) {
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    if (!server.handle->currentDevice()) {
        logLine("START_PREVIEW, no armband");
        response.push_back(STATUS_NO_DEVICE);
        return;
    }
    if (state.dataMode == IDENTIFY_MODE || server.routing.previewOpen()) {
        // The raw stream is on: 12 00 goes out ahead of the first frame.
        server.routing.openPreview(frame.origin);
        response.answered = true;
        return;
    }
    if (state.previewStarting) {
        return;  // the start under way answers for both
    }
    // The preview's start is its own: a start of identification meanwhile
    // does not overtake it (the preview goes on under identification), while
    // whatever ends the preview ends its start too.
    state.previewStarting = true;
    state.previewOwner = frame.origin;
    const std::uint64_t attempt = ++state.previewAttempt;
    server.handle->setDataNotifySwitch(
        tessel::kNotifyEmgRaw, [&server, attempt](std::uint8_t status) {
            AcquisitionState& now = server.acquisition;
            if (!now.previewStarting || now.previewAttempt != attempt) {
                if (status == STATUS_OK && !server.streamWanted()) {
                    switchOffNow(server);  // ended meanwhile, and answered by what ended it
                }
                return;
            }
            now.previewStarting = false;
            if (status == STATUS_OK) {
                server.routing.openPreview(now.previewOwner);
                return;
            }
            const std::uint8_t answer[] = {START_PREVIEW, status};
            server.clientRegistry.answer(now.previewOwner, answer, sizeof answer);
        });
}

void commandStopPreview(ServerContext& server, const CommandFrame& frame, Response& response) {
    response.push_back(START_PREVIEW);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    AcquisitionState& state = server.acquisition;
    if (state.previewStarting) {
        state.previewStarting = false;
        response.alsoFor = state.previewOwner;
        response.push_back(STATUS_STOPPED);
        return;
    }
    // Answers 12 FD after the last frame.
    if (!server.routing.closePreview(frame.origin)) {
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    response.answered = true;
    // While identifying the raw stream stays on for identification.
    if (state.dataMode == IDLE_MODE) {
        switchOffNow(server);
    }
}
