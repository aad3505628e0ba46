#include "server/device/raw_data_routing.h"

#include <algorithm>
#include <bit>

#include "base/event_queue.h"
#include "base/log.h"
#include "protocol/wire.h"
#include "server/device/recording_timer.h"
#include "server/net/client_registry.h"

namespace {

constexpr std::size_t kFramesPerPacket = 16;

}  // namespace

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

RawRouting::RawRouting(EventQueue& eventQueue, ClientRegistry& clientRegistry,
                       std::function<void(EventRecord)> toIdentification)
    : events(eventQueue), clients(clientRegistry), identify(std::move(toIdentification)) {}

void RawRouting::startRecording(const RecordingPlan& newPlan) {
    MutexLock guard(lock);
    plan = newPlan;
    rawBuffer.clear();
    rawBuffer.reserve(static_cast<std::size_t>(plan.frameLimit) *
                      static_cast<std::size_t>(std::popcount(plan.channelMask)));
    full = false;
    foreignLogged = false;
    destination = Route::recording;
}

bool RawRouting::stopRecording() {
    MutexLock guard(lock);
    if (destination == Route::recording) {
        destination = Route::nowhere;
    }
    return full;
}

RecordingPlan RawRouting::recordingPlan() const {
    MutexLock guard(lock);
    return plan;
}

std::size_t RawRouting::recordedBytes() const {
    MutexLock guard(lock);
    return rawBuffer.size();
}

std::vector<std::uint8_t> RawRouting::takeRecording() {
    MutexLock guard(lock);
    std::vector<std::uint8_t> taken;
    taken.swap(rawBuffer);
    return taken;
}

void RawRouting::startIdentify(std::uint32_t windowLength, std::uint32_t step) {
    MutexLock guard(lock);
    identifyAccumulator.reset(windowLength, step);
    destination = Route::identify;
}

void RawRouting::stopIdentify() {
    MutexLock guard(lock);
    if (destination == Route::identify) {
        destination = Route::nowhere;
    }
}

void RawRouting::openPreview(const Origin& owner) {
    MutexLock guard(lock);
    previewOwner = owner;
    const std::uint8_t started[] = {kPreviewAnswer, STATUS_OK};
    clients.answer(owner, started, sizeof started);
    preview = true;
}

bool RawRouting::closePreviewLocked(const std::optional<Origin>& stopper) {
    if (!preview) {
        return false;
    }
    preview = false;
    const std::uint8_t stopped[] = {kPreviewAnswer, STATUS_STOPPED};
    // The preview's owner first, then the command that stopped it.
    std::vector<Origin> origins{previewOwner};
    if (stopper) {
        origins.push_back(*stopper);
    }
    clients.answerEach(origins, stopped, sizeof stopped);
    previewOwner = Origin{};
    return true;
}

bool RawRouting::closePreview(const std::optional<Origin>& stopper) {
    MutexLock guard(lock);
    return closePreviewLocked(stopper);
}

bool RawRouting::previewOpen() const {
    MutexLock guard(lock);
    return preview;
}

void RawRouting::setGestureStream(bool on) {
    MutexLock guard(lock);
    gestures = on;
}

bool RawRouting::gestureStreamOn() const {
    MutexLock guard(lock);
    return gestures;
}

bool RawRouting::stop() {
    MutexLock guard(lock);
    destination = Route::nowhere;
    gestures = false;
    closePreviewLocked(std::nullopt);
    return full;
}

RawRouting::Append RawRouting::appendToWindow(const std::vector<std::uint8_t>& packet) {
    if (full) {
        return Append::dropped;
    }
    const auto frameBytes = static_cast<std::size_t>(std::popcount(plan.channelMask));
    const std::size_t length = packet.size();
    if (frameBytes == 0 || length != frameBytes * kFramesPerPacket) {
        if (!foreignLogged) {
            logLine(
                "recording window %u: a raw packet of %zu bytes left out, the window takes "
                "packets of %zu",
                plan.window, length, frameBytes * kFramesPerPacket);
            foreignLogged = true;
        }
        return Append::dropped;
    }
    const std::size_t limit = static_cast<std::size_t>(plan.frameLimit) * frameBytes;
    const std::size_t taken = std::min(length, limit - rawBuffer.size());
    rawBuffer.insert(rawBuffer.end(), packet.begin(),
                     packet.begin() + static_cast<std::ptrdiff_t>(taken));
    full = rawBuffer.size() == limit;
    return full ? Append::filled : Append::kept;
}

void RawRouting::route(const std::vector<std::uint8_t>& packet) {
    MutexLock guard(lock);
    if (destination == Route::recording) {
        const Append appended = appendToWindow(packet);
        if (appended == Append::dropped) {
            return;
        }
        const std::vector<std::uint8_t> frame = buildPreviewFrame(packet.data(), packet.size());
        clients.sendToClients(frame.data(), frame.size());
        if (appended == Append::filled) {
            events.push(recordingWindowRecord(INTERNAL_EVT, kRecordingWindowClosed, plan.window));
        }
        return;
    }
    if (destination == Route::identify) {
        if (EventRecord window = identifyAccumulator.cut(packet)) {
            identify(std::move(window));
        }
    }
    if (preview) {
        const std::vector<std::uint8_t> frame = buildPreviewFrame(packet.data(), packet.size());
        clients.sendToClients(frame.data(), frame.size());
    }
}
