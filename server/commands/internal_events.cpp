#include <algorithm>
#include <bit>

#include "base/log.h"
#include "server/commands/client_commands.h"
#include "server/commands/event_handlers.h"
#include "server/commands/stream_switching.h"
#include "server/device/hub_events.h"
#include "server/state/server_context.h"
#include "store/save_recording_window.h"

namespace {

void stopWindowTimer(ServerContext& server) {
    RecordingWindowState& window = server.acquisition.window;
    if (window.timerArmed) {
        server.recordingTimer.stop();
        window.timerArmed->store(0);
        window.timerArmed.reset();
    }
}

void answerWindow(ServerContext& server, const Origin& owner, std::uint8_t status) {
    const std::uint8_t answer[] = {START_RECORD, status};
    server.clientRegistry.answer(owner, answer, sizeof answer);
}

// The window holds its frames: the background worker saves it, then it is answered.
void saveWindow(ServerContext& server, std::uint32_t window) {
    AcquisitionState& state = server.acquisition;
    const Origin owner = state.window.owner;
    state.closeWindow(window);
    if (state.dataMode == RECORD_MODE) {
        state.dataMode = IDLE_MODE;
    }
    stopWindowTimer(server);
    server.routing.stopRecording();
    const RecordingPlan plan = server.routing.recordingPlan();
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(server.routing.takeRecording());
    switchOffNow(server);
    server.inBackground(
        [plan, bytes](std::stop_token) {
            return saveRecordingWindow(plan.gesture, plan.channelMask, bytes->data(),
                                       bytes->size());
        },
        [&server, plan, owner](bool saved) {
            if (saved) {
                logLine("FeatureExtraction: SUCCESS");
            }
            answerWindow(server, owner, saved ? STATUS_OK : STATUS_FAILED);
            server.refreshInventory(plan.gesture, server.acquisition.channelMask);
        });
}

// The link went (the SDK callback thread has stopped the routing already).
void disconnected(ServerContext& server) {
    AcquisitionState& state = server.acquisition;
    // A window that held its frames was saved by its own end, queued before
    // this; one still filling is lost with the link.
    if (state.window.open != 0) {
        const Origin owner = state.window.owner;
        state.closeWindow(state.window.open);
        logLine("%s, the recording window under way is lost", "TesselHandle::onDeviceDisconnected");
        answerWindow(server, owner, STATUS_NO_DEVICE);
    }
    stopWindowTimer(server);
    if (state.previewStarting) {
        const std::uint8_t stopped[] = {START_PREVIEW, STATUS_STOPPED};
        server.clientRegistry.answer(state.previewOwner, stopped, sizeof stopped);
    }
    state.reset();
    server.identify.resetLastIdentified();
    server.versions.known = false;
    server.versions.map = VersionMap{{"HW", L""}, {"FW", L""}};
}

}  // namespace

void handleTimerEvents(ServerContext& server, const std::uint8_t* payload, std::size_t length) {
    logLine("handleTimerEvents");
    if (length == 0) {
        logLine("Timer event format err!!!");
        return;
    }
    if (payload[0] != 1) {
        return;
    }
    AcquisitionState& state = server.acquisition;
    const std::uint32_t window = recordingWindowIn(payload + 1, length - 1);
    if (window == 0 || state.window.open != window) {
        logLine("handleTimerEvents, recording window %u is no longer open", window);
        return;
    }
    state.window.timerArmed.reset();
    if (server.routing.stopRecording()) {
        return;  // full: its end is queued and saves it
    }
    const Origin owner = state.window.owner;
    state.closeWindow(window);
    if (state.dataMode == RECORD_MODE) {
        state.dataMode = IDLE_MODE;
    }
    const RecordingPlan plan = server.routing.recordingPlan();
    logLine("recording window %u: the armband sent %zu of its %u frames in time; nothing saved",
            window,
            server.routing.recordedBytes() /
                static_cast<std::size_t>(std::max(1, std::popcount(plan.channelMask))),
            plan.frameLimit);
    switchOffNow(server);
    answerWindow(server, owner, STATUS_DEVICE_ERROR);
}

void handleInternalEvents(ServerContext& server, const std::uint8_t* payload, std::size_t length) {
    logLine("handleInternalEvents");
    if (length == 0) {
        logLine("Internal event format err!!!");
        return;
    }
    switch (payload[0]) {
        case kConnectGivenUp: {
            server.handle->giveUpConnect();
            const std::uint8_t answer[] = {CONNECT_DEVICE, STATUS_DEVICE_ERROR};
            server.clientRegistry.answer(server.connectOwner, answer, sizeof answer);
            server.connectOwner = Origin{};
            return;
        }
        case kScanGivenUp: {
            std::uint64_t watched = 0;
            for (std::size_t i = 1; i < length && i <= 8; ++i) {
                watched |= static_cast<std::uint64_t>(payload[i]) << (8 * (i - 1));
            }
            if (length == 9 && server.handle->giveUpScan(watched)) {
                const std::uint8_t answer[] = {SCAN_DEVICE, STATUS_DEVICE_ERROR};
                server.clientRegistry.answer(server.scanOwner, answer, sizeof answer);
                server.scanOwner = Origin{};
            }
            return;
        }
        case kDisconnected:
            disconnected(server);
            return;
        case kRecordingWindowClosed:
            break;
        default:
            return;
    }
    // A window stopped, ended by STOP_IDENTIFY, given up or cut by a
    // disconnection before it was full is abandoned: nothing is written here.
    const std::uint32_t window = recordingWindowIn(payload + 1, length - 1);
    if (window == 0 || server.acquisition.window.open != window) {
        logLine("handleInternalEvents, recording window %u was abandoned", window);
        return;
    }
    saveWindow(server, window);
}
