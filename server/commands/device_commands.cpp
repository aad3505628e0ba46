#include "base/log.h"
#include "server/commands/client_commands.h"
#include "server/commands/command_handlers.h"
#include "server/commands/stream_switching.h"
#include "server/device/hub_events.h"
#include "server/state/server_context.h"

void commandScanDevice(ServerContext& server, const CommandFrame& frame, Response& response) {
    response.push_back(SCAN_DEVICE);
    if (frame.length < 2) {
        response.push_back(STATUS_FAILED);
        return;
    }
    const bool running = server.handle->scanning();
    const int result = server.handle->startScan();
    if (result != 0) {
        logLine("scan starting failed: %d", result);
        response.push_back(STATUS_FAILED);
        return;
    }
    if (!running) {
        server.scanOwner = frame.origin;
    }
}

void commandConnectDevice(ServerContext& server, const CommandFrame& frame, Response& response) {
    response.push_back(CONNECT_DEVICE);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    const tessel::DevicePtr device = server.handle->currentDevice();
    if (!device) {
        logLine("CONNECT_DEVICE, no armband: scan first");
        response.push_back(STATUS_NO_DEVICE);
        return;
    }
    const tessel::ConnectionState state = device->getConnectionState();
    if (state == tessel::Connecting || state == tessel::Connected) {
        response.push_back(STATUS_FAILED);
        return;
    }
    // The armband is known: a scan still under way has done its work.
    if (server.handle->stopScan()) {
        const std::uint8_t scanStopped[] = {SCAN_DEVICE, STATUS_STOPPED};
        server.clientRegistry.answer(server.scanOwner, scanStopped, sizeof scanStopped);
    }
    // Watched before it is asked: the outcome may come before connect returns.
    server.connectOwner = frame.origin;
    server.handle->watchConnect();
    if (device->connect(1) != 0) {
        server.handle->unwatchConnect();
        server.connectOwner = Origin{};
        response.push_back(STATUS_FAILED);
    }
}

void commandDisconnectDevice(ServerContext& server, const CommandFrame& frame, Response& response) {
    response.push_back(DISCONNECT_DEVICE);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    const tessel::DevicePtr device = server.handle->currentDevice();
    if (!device) {
        logLine("DISCONNECT_DEVICE, no armband");
        response.push_back(STATUS_NO_DEVICE);
        return;
    }
    // A device that is not connected is not asked to disconnect.
    if (device->getConnectionState() != tessel::Connected || device->disconnect() != 0) {
        response.push_back(STATUS_FAILED);
    }
}

void commandStartGestureStream(ServerContext& server, const CommandFrame& frame,
                               Response& response) {
    response.push_back(START_GESTURE_STREAM);
    AcquisitionState& state = server.acquisition;
    if (state.dataMode != IDLE_MODE) {
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    if (!server.handle->currentDevice()) {
        logLine("START_GESTURE_STREAM, no armband");
        response.push_back(STATUS_NO_DEVICE);
        return;
    }
    endPreview(server);  // the gesture stream switches the raw stream off
    state.dataMode = GESTURE_MODE;
    server.routing.setGestureStream(true);
    switchOnForStart(server, tessel::kNotifyGesture,
                     [&server, origin = frame.origin](std::uint8_t status) {
                         if (status == STATUS_OK) {
                             return;
                         }
                         server.routing.setGestureStream(false);
                         if (server.acquisition.dataMode == GESTURE_MODE) {
                             server.acquisition.dataMode = IDLE_MODE;
                         }
                         const std::uint8_t answer[] = {START_GESTURE_STREAM, status};
                         server.clientRegistry.answer(origin, answer, sizeof answer);
                     });
}

void commandStopGestureStream(ServerContext& server, const CommandFrame&, Response& response) {
    response.push_back(START_GESTURE_STREAM);
    if (server.acquisition.dataMode != GESTURE_MODE) {
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    server.acquisition.dataMode = IDLE_MODE;
    server.routing.setGestureStream(false);
    switchOffNow(server);
    response.push_back(STATUS_STOPPED);
}
