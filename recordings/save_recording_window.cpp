#include "recordings/save_recording_window.h"

#include <ctime>

#include "core/log.h"
#include "device/acquisition_state.h"
#include "core/whole_file.h"
#include "recordings/window_log.h"
#include "training/raw_recording_file.h"

bool saveRecordingWindow(std::uint8_t gesture, const std::uint8_t* data, std::size_t length) {
    const std::string name = rawFileName(gesture);
    const std::int64_t before = fileSize(name);
    if (!appendToRawFile(name, data, length)) {
        return false;
    }
    if (!logRecordedWindow(gesture, before < 0 ? 0 : static_cast<std::uint64_t>(before), length,
                           channelMask.load(), static_cast<std::int64_t>(std::time(nullptr)))) {
        logLine("%s could not be written", windowLogName(gesture).c_str());
    }
    return true;
}
