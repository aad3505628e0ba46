#include "commands/client_commands.h"
#include "commands/command_handlers.h"
#include "core/log.h"
#include "device/acquisition_state.h"
#include "device/hub_events.h"
#include "device/tessel_handle.h"
#include "server/client_registry.h"

void commandScanDevice(const CommandFrame& frame, Response& response) {
    response.push_back(SCAN_DEVICE);
    if (frame.length < 2) {
        response.push_back(STATUS_FAILED);
        return;
    }
    const int result = handle->startScan();
    if (result != 0) {
        logLine("scan starting failed: %d", result);
        response.push_back(STATUS_FAILED);
    }
}

void commandConnectDevice(const CommandFrame& frame, Response& response) {
    response.push_back(CONNECT_DEVICE);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    const tessel::DevicePtr device = handle->currentDevice();
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
    if (handle->stopScan()) {
        const std::uint8_t scanStopped[] = {SCAN_DEVICE, STATUS_STOPPED};
        sendToClients(scanStopped, sizeof scanStopped);
    }
    // Watched before it is asked: the outcome may come before connect returns.
    handle->watchConnect();
    if (device->connect(1) != 0) {
        handle->unwatchConnect();
        response.push_back(STATUS_FAILED);
    }
}

void commandDisconnectDevice(const CommandFrame& frame, Response& response) {
    response.push_back(DISCONNECT_DEVICE);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    const tessel::DevicePtr device = handle->currentDevice();
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

void commandStartGestureStream(const CommandFrame&, Response& response) {
    response.push_back(START_GESTURE_STREAM);
    if (dataMode.load() != IDLE_MODE) {
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    if (!handle->currentDevice()) {
        logLine("START_GESTURE_STREAM, no armband");
        response.push_back(STATUS_NO_DEVICE);
        return;
    }
    endPreview();  // the gesture stream switches the raw stream off
    std::int32_t idle = IDLE_MODE;
    if (!dataMode.compare_exchange_strong(idle, GESTURE_MODE)) {
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    const std::uint8_t switched = handle->setDataNotifySwitch(tessel::kNotifyGesture);
    if (switched != STATUS_OK) {
        std::int32_t streaming = GESTURE_MODE;
        dataMode.compare_exchange_strong(streaming, IDLE_MODE);
        response.push_back(switched);
    }
}

void commandStopGestureStream(const CommandFrame&, Response& response) {
    response.push_back(START_GESTURE_STREAM);
    std::int32_t streaming = GESTURE_MODE;
    if (!dataMode.compare_exchange_strong(streaming, IDLE_MODE)) {
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    handle->setDataNotifySwitch(tessel::kNotifyNone);
    response.push_back(STATUS_STOPPED);
}
