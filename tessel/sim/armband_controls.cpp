// The wearer's controls: what the wearer does, and the faults that break the
// armband on purpose.
#include <cstdio>

#include "armband.h"

namespace tessel::sim {
namespace {

// Recordings longer than this are refused (about 13 minutes of 8 channels).
constexpr long kLargestReplay = 64L << 20;

}  // namespace

void Armband::setAction(WearerAction newAction) {
    MutexLock guard(lock);
    action = newAction;
    ++actionVersion;
    streamWake.notifyAll();
}

void Armband::setProfile(const WearerProfile& profile, std::uint32_t day) {
    MutexLock guard(lock);
    wearerKind = &profile;
    wearerDay = day;
    ++profileVersion;
    streamWake.notifyAll();
}

void Armband::setPresent(bool isPresent) {
    MutexLock guard(lock);
    present = isPresent;
}

void Armband::addFault(Operation operation, bool muteIt, std::uint32_t count) {
    MutexLock guard(lock);
    faultCounter(operation, muteIt) = count;
}

void Armband::setSettingAvailable(bool available) {
    MutexLock guard(lock);
    settingAvailable = available;
}

bool Armband::postHubState(std::int32_t state) {
    MutexLock guard(lock);
    if (!initialised) {
        return false;
    }
    return notifyListeners(Clock::now(),
                           [state](HubListener& listener) { listener.onStateChanged(state); });
}

bool Armband::postDeviceStatus(std::uint8_t deviceStatus) {
    MutexLock guard(lock);
    if (!initialised || connection != ConnectionState::Connected) {
        return false;
    }
    const std::shared_ptr<Device> armband = device;
    return notifyListeners(Clock::now(), [armband, deviceStatus](HubListener& listener) {
        listener.onDeviceStatusChanged(armband, deviceStatus);
    });
}

bool Armband::startReplay(const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + path;
        return false;
    }
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    bool tooLong = false;
    std::uint8_t block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        if (bytes->size() + got > static_cast<std::size_t>(kLargestReplay)) {
            tooLong = true;
            break;
        }
        bytes->insert(bytes->end(), block, block + got);
    }
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) {
        error = "cannot read " + path;
        return false;
    }
    if (tooLong) {
        error = path + " is longer than 64 MiB";
        return false;
    }
    if (bytes->empty()) {
        error = path + " is empty";
        return false;
    }
    MutexLock guard(lock);
    replayBytes = std::move(bytes);
    replayPath = path;
    ++replayVersion;
    streamWake.notifyAll();
    return true;
}

void Armband::stopReplay() {
    MutexLock guard(lock);
    if (replayBytes) {
        replayBytes.reset();
        replayPath.clear();
        ++replayVersion;
        streamWake.notifyAll();
    }
}

void Armband::reseed(std::uint32_t newSeed) {
    MutexLock guard(lock);
    seed = newSeed;
    streamStarts = 0;
    timing = Random(mixSeed(newSeed, kTimingStream));
}

void Armband::reset() {
    MutexLock guard(lock);
    present = true;
    settingAvailable = true;
    for (std::size_t i = 0; i < kOperationCount; ++i) {
        failing[i] = 0;
        muted[i] = 0;
    }
    action = WearerAction{};
    ++actionVersion;
    wearerKind = &defaultWearerProfile();
    wearerDay = 1;
    ++profileVersion;
    if (replayBytes) {
        replayBytes.reset();
        replayPath.clear();
        ++replayVersion;
    }
    seed = options.seed;
    streamStarts = 0;
    timing = Random(mixSeed(seed, kTimingStream));
    streamWake.notifyAll();
}

Status Armband::status() {
    MutexLock guard(lock);
    Status now;
    now.present = present;
    now.connection = connection;
    now.streams = streams;
    now.channelMask = rawMask;
    now.action = action.text();
    now.modelSize = model.size();
    now.droppedPackets = droppedPackets;
    now.scanning = scanning;
    now.settingAvailable = settingAvailable;
    now.seed = seed;
    now.replay = replayPath;
    now.profile = wearerKind->name;
    now.day = wearerDay;
    return now;
}

std::vector<std::uint8_t> Armband::lastModel() {
    MutexLock guard(lock);
    return model;
}

}  // namespace tessel::sim
