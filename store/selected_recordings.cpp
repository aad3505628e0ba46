#include "store/selected_recordings.h"

std::optional<RecordingRefused> readSelectedRecordings(
    std::uint8_t gestureMask, std::uint8_t channelMask, std::size_t maxBytes,
    const std::function<void(GestureRecording& recording)>& use) {
    for (int n = 1; n <= 8; ++n) {
        if (((gestureMask >> (n - 1)) & 1u) == 0) {
            continue;
        }
        RawRecording raw;
        const RawRecordingRead read = readRawRecording(n, {channelMask, true, true, maxBytes}, raw);
        if (read != RawRecordingRead::read) {
            return RecordingRefused{n, read, raw.problem, raw.failure};
        }
        GestureRecording recording{n, std::move(raw.bytes)};
        use(recording);
    }
    return std::nullopt;
}
