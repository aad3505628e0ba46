#include "device/raw_data_routing.h"

#include <algorithm>
#include <bit>

#include "core/event_queue.h"
#include "core/log.h"
#include "core/recording_timer.h"
#include "device/acquisition_state.h"
#include "device/identify_window_cutter.h"
#include "device/preview_switch.h"
#include "protocol/wire.h"
#include "server/client_registry.h"

RawBuffer rawBuffer;
IdentifyWindowCutter& identifyAccumulator = *new IdentifyWindowCutter;

namespace {

constexpr std::size_t kFramesPerPacket = 16;

}  // namespace

void RawBuffer::start(const RecordingPlan& plan) {
    MutexLock guard(lock);
    current = plan;
    bytes.clear();
    bytes.reserve(static_cast<std::size_t>(plan.frameLimit) *
                  static_cast<std::size_t>(std::popcount(plan.channelMask)));
    full = false;
    stopped = false;
    foreignLogged = false;
}

void RawBuffer::clear() {
    MutexLock guard(lock);
    current = RecordingPlan{};
    bytes.clear();
    full = false;
    stopped = true;
}

RawBuffer::Append RawBuffer::append(const std::uint8_t* data, std::size_t length) {
    MutexLock guard(lock);
    if (stopped || full) {
        return Append::dropped;
    }
    const auto frameBytes = static_cast<std::size_t>(std::popcount(current.channelMask));
    if (frameBytes == 0 || length != frameBytes * kFramesPerPacket) {
        if (!foreignLogged) {
            logLine(
                "recording window %u: a raw packet of %zu bytes left out, the window takes "
                "packets of %zu",
                current.window, length, frameBytes * kFramesPerPacket);
            foreignLogged = true;
        }
        return Append::dropped;
    }
    const std::size_t limit = static_cast<std::size_t>(current.frameLimit) * frameBytes;
    const std::size_t taken = std::min(length, limit - bytes.size());
    bytes.insert(bytes.end(), data, data + taken);
    full = bytes.size() == limit;
    return full ? Append::filled : Append::kept;
}

bool RawBuffer::stop() {
    MutexLock guard(lock);
    stopped = true;
    return full;
}

bool RawBuffer::filled() const {
    MutexLock guard(lock);
    return full;
}

RecordingPlan RawBuffer::plan() const {
    MutexLock guard(lock);
    return current;
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
    const std::size_t channels = length / 16;
    std::vector<std::uint8_t> frame;
    frame.reserve(1 + 4 * channels);
    frame.push_back(kPreviewFrameCode);
    for (std::size_t row = 0; row < 16 && channels > 0; row += 4) {
        const std::uint8_t* start = packet + row * channels;
        frame.insert(frame.end(), start, start + channels);
    }
    return frame;
}

void routeRawPacket(const std::vector<std::uint8_t>& packet, PreviewSwitch* preview) {
    const std::int32_t mode = dataMode.load();
    if (mode == RECORD_MODE) {
        const RawBuffer::Append appended = rawBuffer.append(packet.data(), packet.size());
        if (appended == RawBuffer::Append::dropped) {
            return;
        }
        const std::vector<std::uint8_t> frame = buildPreviewFrame(packet.data(), packet.size());
        sendToClients(frame.data(), frame.size());
        if (appended == RawBuffer::Append::filled) {
            eventQueue.push(recordingWindowRecord(INTERNAL_EVT, kRecordingWindowClosed,
                                                  rawBuffer.plan().window));
        }
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
