#include "training/selected_recordings.h"

#include "training/raw_recording_file.h"

std::optional<RecordingRefused> readSelectedRecordings(
    std::uint8_t gestureMask, std::size_t maxBytes,
    const std::function<void(GestureRecording& recording)>& use) {
    for (int n = 1; n <= 8; ++n) {
        if (((gestureMask >> (n - 1)) & 1u) == 0) {
            continue;
        }
        GestureRecording recording;
        recording.gesture = n;
        const FileRead read =
            readWholeFile(rawFileName(static_cast<std::uint8_t>(n)), maxBytes, recording.bytes);
        if (read != FileRead::Read) {
            return RecordingRefused{n, read};
        }
        use(recording);
    }
    return std::nullopt;
}
