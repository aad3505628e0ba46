#include "server/commands/stream_switching.h"

#include "base/log.h"
#include "protocol/wire.h"
#include "server/state/server_context.h"

void switchOnForStart(ServerContext& server, std::uint32_t flags,
                      std::function<void(std::uint8_t status)> outcome) {
    const std::uint64_t generation = ++server.acquisition.streamGeneration;
    server.handle->setDataNotifySwitch(
        flags, [&server, flags, generation, outcome = std::move(outcome)](std::uint8_t status) {
            if (generation == server.acquisition.streamGeneration) {
                outcome(status);
                return;
            }
            // Stopped (or overtaken) while the armband was asked: nothing to answer.
            if (status == STATUS_OK && !server.streamWanted()) {
                logLine("switch 0x%02x came after its start was stopped: switched off again",
                        static_cast<unsigned>(flags));
                server.handle->setDataNotifySwitch(tessel::kNotifyNone, nullptr);
            }
        });
}

void switchOffNow(ServerContext& server) {
    ++server.acquisition.streamGeneration;
    server.handle->setDataNotifySwitch(tessel::kNotifyNone, nullptr);
}

void endPreview(ServerContext& server) {
    AcquisitionState& state = server.acquisition;
    if (state.previewStarting) {
        state.previewStarting = false;
        const std::uint8_t stopped[] = {kPreviewAnswer, STATUS_STOPPED};
        server.clientRegistry.answer(state.previewOwner, stopped, sizeof stopped);
        return;
    }
    server.routing.closePreview();
}

std::optional<Origin> abandonRecording(ServerContext& server) {
    RecordingWindowState& window = server.acquisition.window;
    std::optional<Origin> owner;
    if (window.open != 0) {
        owner = window.owner;
        server.acquisition.closeWindow(window.open);
    }
    server.routing.stopRecording();
    server.recordingTimer.stop();
    if (window.timerArmed) {
        window.timerArmed->store(0);
        window.timerArmed.reset();
    }
    switchOffNow(server);
    return owner;
}
