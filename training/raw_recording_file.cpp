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
#include "recordings/save_recording_window.h"
#include "server/client_registry.h"

namespace {

constexpr std::uint8_t kWindowClosed = 1;
constexpr std::uint8_t kRecordAnswer = 0x06;

}  // namespace

std::string rawFileName(std::uint8_t gesture) {
    return "raw" + std::to_string(gesture) + ".bin";
}

bool appendToRawFile(const std::string& name, const std::uint8_t* data, std::size_t length) {
    std::FILE* file = std::fopen(name.c_str(), "ab");
    if (file == nullptr) {
        logLine("raw_file_name open error.");
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
    if (payload[0] != kWindowClosed) {
        return;
    }
    // A window stopped, ended by STOP_IDENTIFY or cut by a disconnection after
    // its time was up is abandoned: nothing is written and nothing answered.
    const std::uint32_t window = recordingWindowIn(payload + 1, length - 1);
    if (!closeRecordingWindow(window)) {
        logLine("handleInternalEvents, recording window %u was abandoned", window);
        return;
    }
    dataMode.store(IDLE_MODE);
    bool saved = false;
    rawBuffer.read([&saved](const std::uint8_t* data, std::size_t size) {
        saved = saveRecordingWindow(recordingGesture.load(), data, size);
    });
    if (saved) {
        logLine("FeatureExtraction: SUCCESS");
    }
    const std::uint8_t response[] = {kRecordAnswer, static_cast<std::uint8_t>(saved ? 0x00 : 0xFF)};
    sendToClients(response, sizeof response);
}
