#include "store/save_recording_window.h"

#include <unistd.h>

#include <ctime>
#include <optional>

#include "base/log.h"
#include "base/whole_file.h"
#include "store/raw_recording_file.h"
#include "store/window_log.h"

bool saveRecordingWindow(std::uint8_t gesture, std::uint8_t channelMask, const std::uint8_t* data,
                         std::size_t length) {
    const std::string name = rawFileName(gesture);
    std::optional<std::uint64_t> logged = settleRawFile(gesture);
    const std::int64_t size = fileSize(name);
    if (!logged && size <= 0) {
        if (const FileWrite started = startWindowLog(gesture); started) {
            logged = 0;  // a new raw file: its windows are logged from the first on
        } else {
            logLine("%s could not be started, the file's windows stay unknown: %s",
                    windowLogName(gesture).c_str(), started.reason.c_str());
        }
    }
    const std::uint64_t before = logged ? *logged : static_cast<std::uint64_t>(size < 0 ? 0 : size);
    if (!appendToRawFile(name, data, length)) {
        return false;
    }
    if (!logged) {
        return true;  // earlier bytes unaccounted for: the file's windows stay unknown
    }
    // The window exists once the log holds it: without the log the bytes go.
    if (const FileWrite written = logRecordedWindow(gesture, before, length, channelMask,
                                                    static_cast<std::int64_t>(std::time(nullptr)));
        !written) {
        logLine("%s could not be written: %s", windowLogName(gesture).c_str(),
                written.reason.c_str());
        if (::truncate(name.c_str(), static_cast<off_t>(before)) != 0) {
            logLine("raw file %s could not be cut back to %llu bytes", name.c_str(),
                    static_cast<unsigned long long>(before));
        }
        return false;
    }
    return true;
}
