#include "device/raw_data_routing.h"

#include "core/event_queue.h"
#include "device/acquisition_state.h"
#include "device/identify_window_cutter.h"
#include "device/preview_switch.h"
#include "server/client_registry.h"

RawBuffer rawBuffer;
IdentifyWindowCutter& identifyAccumulator = *new IdentifyWindowCutter;

void RawBuffer::clear() {
    MutexLock guard(lock);
    bytes.clear();
}

void RawBuffer::append(const std::uint8_t* data, std::size_t length) {
    MutexLock guard(lock);
    bytes.insert(bytes.end(), data, data + length);
}

std::size_t RawBuffer::size() const {
    MutexLock guard(lock);
    return bytes.size();
}

void RawBuffer::read(
    const std::function<void(const std::uint8_t* data, std::size_t length)>& reader) const {
    MutexLock guard(lock);
    reader(bytes.data(), bytes.size());
}

std::vector<std::uint8_t> buildPreviewFrame(const std::uint8_t* packet, std::size_t length) {
    constexpr std::uint8_t kPreviewCode = 0x07;
    const std::size_t channels = length / 16;
    std::vector<std::uint8_t> frame;
    frame.reserve(1 + 4 * channels);
    frame.push_back(kPreviewCode);
    for (std::size_t row = 0; row < 16 && channels > 0; row += 4) {
        const std::uint8_t* start = packet + row * channels;
        frame.insert(frame.end(), start, start + channels);
    }
    return frame;
}

void routeRawPacket(const std::vector<std::uint8_t>& packet, PreviewSwitch* preview) {
    const std::int32_t mode = dataMode.load();
    if (mode == RECORD_MODE) {
        rawBuffer.append(packet.data(), packet.size());
        const std::vector<std::uint8_t> frame = buildPreviewFrame(packet.data(), packet.size());
        sendToClients(frame.data(), frame.size());
        return;
    }
    if (mode == IDENTIFY_MODE) {
        if (EventRecord window = identifyAccumulator.cut(packet)) {
            identifyQueue.push(std::move(window));
        }
    }
    if (preview && (mode == IDLE_MODE || mode == IDENTIFY_MODE)) {
        preview->forward(packet.data(), packet.size());
    }
}
