#include "training/raw_recording_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/log.h"
#include "core/recording_timer.h"
#include "device/acquisition_state.h"
#include "device/raw_data_routing.h"
#include "device/tessel_handle.h"
#include "protocol/wire.h"
#include "recordings/save_recording_window.h"
#include "server/client_registry.h"

std::string rawFileName(std::uint8_t gesture) {
    return "raw" + std::to_string(gesture) + ".bin";
}

bool appendToRawFile(const std::string& name, const std::uint8_t* data, std::size_t length) {
    std::FILE* file = std::fopen(name.c_str(), "ab");
    if (file == nullptr) {
        const int error = errno;
        logLine("raw_file_name open error.");
        logLine("appendToRawFile, %s cannot be opened to append to: %s", name.c_str(),
                std::strerror(error));
        return false;
    }
    std::fseek(file, 0, SEEK_END);
    const long before = std::ftell(file);
    const bool written = length == 0 || std::fwrite(data, 1, length, file) == length;
    // On the disk before the window log names them.
    const bool flushed = std::fflush(file) == 0 && ::fdatasync(fileno(file)) == 0;
    const int error = errno;
    if (!written || !flushed) {
        // Leave the bytes of earlier recordings exactly as they were.
        if (before >= 0 && ftruncate(fileno(file), before) != 0) {
            logLine("raw file %s could not be cut back to %ld bytes", name.c_str(), before);
        }
    }
    const bool closed = std::fclose(file) == 0;
    if (!written || !flushed || !closed) {
        logLine("raw file %s write error: %s", name.c_str(),
                std::strerror(written && flushed ? errno : error));
        return false;
    }
    return true;
}

void handleInternalEvents(const std::uint8_t* payload, std::size_t length) {
    logLine("handleInternalEvents");
    if (length == 0) {
        logLine("Internal event format err!!!");
        return;
    }
    if (payload[0] == kConnectGivenUp) {
        if (handle) {
            handle->giveUpConnect();
        }
        return;
    }
    if (payload[0] == kScanGivenUp) {
        std::uint64_t watched = 0;
        for (std::size_t i = 1; i < length && i <= 8; ++i) {
            watched |= static_cast<std::uint64_t>(payload[i]) << (8 * (i - 1));
        }
        if (handle && length == 9) {
            handle->giveUpScan(watched);
        }
        return;
    }
    if (payload[0] != kRecordingWindowClosed) {
        return;
    }
    // A window stopped, ended by STOP_IDENTIFY, given up or cut by a
    // disconnection before it was full is abandoned: nothing is written here.
    const std::uint32_t window = recordingWindowIn(payload + 1, length - 1);
    if (!closeRecordingWindow(window)) {
        logLine("handleInternalEvents, recording window %u was abandoned", window);
        return;
    }
    std::int32_t recording = RECORD_MODE;
    dataMode.compare_exchange_strong(recording, IDLE_MODE);
    if (recordTimerArmed.exchange(0) != 0) {
        recordingTimer.stop();
    }
    // The window holds its frames: it is saved and answered before the stream
    // is switched off, which the armband may take its time over.
    const RecordingPlan plan = rawBuffer.plan();
    bool saved = false;
    rawBuffer.read([&saved, &plan](const std::uint8_t* data, std::size_t size) {
        saved = saveRecordingWindow(plan.gesture, plan.channelMask, data, size);
    });
    if (saved) {
        logLine("FeatureExtraction: SUCCESS");
    }
    const std::uint8_t response[] = {kRecordAnswer, saved ? STATUS_OK : STATUS_FAILED};
    sendToClients(response, sizeof response);
    if (handle && handle->currentDevice()) {
        handle->setDataNotifySwitch(tessel::kNotifyNone);
    }
}
