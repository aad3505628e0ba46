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
    std::lock_guard<std::mutex> guard(lock);
    action = newAction;
    ++actionVersion;
    streamWake.notify_all();
}

void Armband::setProfile(const WearerProfile& profile, std::uint32_t day) {
    std::lock_guard<std::mutex> guard(lock);
    wearerKind = &profile;
    wearerDay = day;
    ++profileVersion;
    streamWake.notify_all();
}

void Armband::setPresent(bool isPresent) {
    std::lock_guard<std::mutex> guard(lock);
    present = isPresent;
}

void Armband::addFault(Operation operation, bool muteIt, std::uint32_t count) {
    std::lock_guard<std::mutex> guard(lock);
    faultCounter(operation, muteIt) = count;
}

void Armband::setSettingAvailable(bool available) {
    std::lock_guard<std::mutex> guard(lock);
    settingAvailable = available;
}

bool Armband::postHubState(std::int32_t state) {
    std::lock_guard<std::mutex> guard(lock);
    if (!initialised) {
        return false;
    }
    return notifyListeners(Clock::now(),
                           [state](HubListener& listener) { listener.onStateChanged(state); });
}

bool Armband::postDeviceStatus(std::uint8_t deviceStatus) {
    std::lock_guard<std::mutex> guard(lock);
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
    std::lock_guard<std::mutex> guard(lock);
    replayBytes = std::move(bytes);
    replayPath = path;
    ++replayVersion;
    streamWake.notify_all();
    return true;
}

void Armband::stopReplay() {
    std::lock_guard<std::mutex> guard(lock);
    if (replayBytes) {
        replayBytes.reset();
        replayPath.clear();
        ++replayVersion;
        streamWake.notify_all();
    }
}

void Armband::reseed(std::uint32_t newSeed) {
    std::lock_guard<std::mutex> guard(lock);
    seed = newSeed;
    streamStarts = 0;
    timing = Random(mixSeed(newSeed, kTimingStream));
}

void Armband::reset() {
    std::lock_guard<std::mutex> guard(lock);
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
    streamWake.notify_all();
}

Status Armband::status() {
    std::lock_guard<std::mutex> guard(lock);
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
    std::lock_guard<std::mutex> guard(lock);
    return model;
}

}  // namespace tessel::sim
