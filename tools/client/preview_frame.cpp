#include "tools/client/preview_frame.h"

namespace {

constexpr std::size_t kMostChannels = 8;

}  // namespace

bool parsePreviewFrame(const std::vector<std::uint8_t>& message, PreviewFrame& frame) {
    if (message.size() < 1 + kPreviewRows || message[0] != kPreviewFrameCode ||
        (message.size() - 1) % kPreviewRows != 0) {
        return false;
    }
    const std::size_t channels = (message.size() - 1) / kPreviewRows;
    if (channels > kMostChannels) {
        return false;
    }
    frame.channels = channels;
    frame.samples.assign(message.begin() + 1, message.end());
    return true;
}

float previewActivity(const PreviewFrame& frame) {
    if (frame.channels == 0 || frame.samples.size() != frame.channels * kPreviewRows) {
        return 0.0f;
    }
    float sum = 0.0f;
    for (std::size_t c = 0; c < frame.channels; ++c) {
        std::uint8_t lowest = 255;
        std::uint8_t highest = 0;
        for (std::size_t r = 0; r < kPreviewRows; ++r) {
            const std::uint8_t sample = frame.samples[r * frame.channels + c];
            lowest = sample < lowest ? sample : lowest;
            highest = sample > highest ? sample : highest;
        }
        sum += static_cast<float>(highest - lowest);
    }
    return sum / static_cast<float>(frame.channels);
}
