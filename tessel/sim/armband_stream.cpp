// The armband's data streams: raw EMG packets (0x80) and gesture events (0x40).
//
// One thread paces the stream against a frame counter: packet k of a stream is
// due k x 16 / 650 s (divided by the stream speed) after the stream started,
// so it never drifts; a late wake-up catches up. A stream starts afresh (a new
// wearer timeline and noise, the replay from its first byte) when streaming
// begins or raw packets are switched on; the seed of each fresh start is the
// armband's seed mixed with the number of starts since it was set.
#include <bit>

#include "armband.h"

namespace tessel::sim {

void Armband::setStreams(std::uint32_t flags) {
    const std::uint32_t before = streams;
    streams = flags;
    const bool stopped = before != 0 && flags == 0;
    const bool begun = (before == 0 && flags != 0) ||
                       ((before & kNotifyEmgRaw) == 0 && (flags & kNotifyEmgRaw) != 0);
    if (stopped || begun) {
        ++streamEpoch;
    }
    if (begun) {
        streamSeed = mixSeed(seed, streamStarts++);
    }
    streamWake.notifyAll();
}

void Armband::postPacket(RawPacket packet, std::uint64_t epoch) {
    if (queuedPackets >= kMaxQueuedPackets) {
        ++droppedPackets;
        return;
    }
    ++queuedPackets;
    const std::shared_ptr<Device> armband = device;
    loop.post(Clock::now(), [this, epoch, armband, packet = std::move(packet)] {
        Listeners live;
        {
            MutexLock guard(lock);
            if (queuedPackets > 0) {
                --queuedPackets;
            }
            // Nothing arrives after the stream was switched off or the link lost.
            if ((streams & kNotifyEmgRaw) == 0 || streamEpoch != epoch) {
                return;
            }
            live = liveListeners();
        }
        for (const auto& listener : live) {
            listener->onDeviceData(armband, kDataTypeEmgRaw, packet);
        }
    });
}

void Armband::postGesture(std::uint8_t gesture, std::uint64_t epoch) {
    const std::shared_ptr<Device> armband = device;
    loop.post(Clock::now(), [this, epoch, armband, gesture] {
        Listeners live;
        {
            MutexLock guard(lock);
            if ((streams & kNotifyGesture) == 0 || streamEpoch != epoch) {
                return;
            }
            live = liveListeners();
        }
        for (const auto& listener : live) {
            listener->onGestureData(armband, gesture);
        }
    });
}

void Armband::streamLoop() {
    const double speed = options.streamSpeed > 0.0 ? options.streamSpeed : 1.0;
    const double packetSeconds = static_cast<double>(kFramesPerPacket) / (kSampleRate * speed);

    Wearer wearer;
    std::uint64_t epoch = 0;
    std::uint64_t seenAction = 0;
    std::uint64_t seenProfile = 0;
    std::uint64_t seenReplay = 0;
    std::shared_ptr<const std::vector<std::uint8_t>> replay;
    std::size_t replayAt = 0;
    std::uint8_t reported = 0;
    Clock::time_point start;
    std::uint64_t packetIndex = 0;

    MutexLock guard(lock);
    while (!streamStopping) {
        if (streams == 0) {
            streamWake.wait(lock);
            continue;
        }
        if (epoch != streamEpoch) {
            epoch = streamEpoch;
            wearer.setProfile(*wearerKind, wearerDay);
            seenProfile = profileVersion;
            wearer.restart(streamSeed, action);
            seenAction = actionVersion;
            replay = replayBytes;
            seenReplay = replayVersion;
            replayAt = 0;
            reported = 0;
            packetIndex = 0;
            start = Clock::now();
        }
        if (seenProfile != profileVersion) {
            wearer.setProfile(*wearerKind, wearerDay);
            seenProfile = profileVersion;
        }
        if (seenAction != actionVersion) {
            wearer.setAction(action);
            seenAction = actionVersion;
        }
        if (seenReplay != replayVersion) {
            replay = replayBytes;
            seenReplay = replayVersion;
            replayAt = 0;
        }
        const Clock::time_point due =
            start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                        static_cast<double>(packetIndex + 1) * packetSeconds));
        if (Clock::now() < due) {
            streamWake.waitUntil(lock, due);
            continue;  // everything is looked at again after any wake-up
        }
        const std::uint32_t flags = streams;
        const std::uint8_t mask = rawMask;
        const std::size_t packetBytes = rawPacketBytes;
        guard.unlock();

        const bool raw = (flags & kNotifyEmgRaw) != 0;
        const bool playback = raw && replay && !replay->empty();
        auto packet = std::make_shared<std::vector<std::uint8_t>>();
        if (raw) {
            packet->reserve(packetBytes);
        }
        std::uint8_t changes[kFramesPerPacket];
        std::size_t changeCount = 0;
        for (std::uint32_t frame = 0; frame < kFramesPerPacket; ++frame) {
            std::uint8_t samples[kElectrodes];
            wearer.nextFrame(samples);
            if (wearer.gesture() != reported) {
                reported = wearer.gesture();
                changes[changeCount++] = reported;
            }
            if (raw && !playback) {
                for (int c = 0; c < kElectrodes; ++c) {
                    if ((mask >> c) & 1u) {
                        packet->push_back(samples[c]);
                    }
                }
            }
        }
        if (playback) {
            for (std::size_t i = 0; i < packetBytes; ++i) {
                packet->push_back((*replay)[replayAt]);
                replayAt = (replayAt + 1) % replay->size();
            }
        }

        guard.lock();
        if (epoch == streamEpoch && !streamStopping) {
            if (raw) {
                postPacket(std::move(packet), epoch);
            }
            if ((flags & kNotifyGesture) != 0) {
                for (std::size_t i = 0; i < changeCount; ++i) {
                    postGesture(changes[i], epoch);
                }
            }
        }
        ++packetIndex;
    }
}

}  // namespace tessel::sim
