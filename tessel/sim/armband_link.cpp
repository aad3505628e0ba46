// The radio link: scanning, connecting, disconnecting and losing the link.
//
// A scan sees the armband after 0.4 to 1.2 s while it is present and not
// connected (a connected armband stops advertising), and ends after 3 s or
// shortly after stopScan. Connecting takes 0.5 to 1 s; an armband that is not
// there fails to connect after 2 s. All of these are scaled by the delay scale.
#include "armband.h"

namespace tessel::sim {
namespace {

constexpr int kScanWindowMs = 3000;
constexpr int kConnectTimeoutMs = 2000;

}  // namespace

int Armband::startScan() {
    MutexLock guard(lock);
    if (!initialised) {
        return kNotInitialised;
    }
    if (std::uint32_t& fails = faultCounter(Operation::StartScan, false); fails > 0) {
        --fails;
        return kInjectedFailure;
    }
    if (std::uint32_t& mutes = faultCounter(Operation::StartScan, true); mutes > 0) {
        --mutes;
        return 0;  // accepted, and then nothing: no device, no end of scan
    }
    if (scanning) {
        return 0;  // the scan under way goes on
    }
    scanning = true;
    const std::uint64_t epoch = ++scanEpoch;
    const std::shared_ptr<Device> armband = device;
    if (present && connection == ConnectionState::Disconnected) {
        loop.post(delayFromNow(400, 1200), [this, epoch, armband] {
            Listeners live;
            {
                MutexLock inner(lock);
                if (!scanning || scanEpoch != epoch || !present ||
                    connection != ConnectionState::Disconnected) {
                    return;
                }
                live = liveListeners();
            }
            for (const auto& listener : live) {
                listener->onDeviceFound(armband);
            }
        });
    }
    loop.post(delayFromNow(kScanWindowMs, kScanWindowMs), [this, epoch] {
        Listeners live;
        {
            MutexLock inner(lock);
            if (!scanning || scanEpoch != epoch) {
                return;  // stopped: stopScan reports the end
            }
            scanning = false;
            live = liveListeners();
        }
        for (const auto& listener : live) {
            listener->onScanFinished();
        }
    });
    return 0;
}

int Armband::stopScan() {
    MutexLock guard(lock);
    if (!initialised) {
        return kNotInitialised;
    }
    if (scanning) {
        scanning = false;
        ++scanEpoch;
        notifyListeners(delayFromNow(5, 20),
                        [](HubListener& listener) { listener.onScanFinished(); });
    }
    return 0;
}

ConnectionState Armband::connectionState() {
    MutexLock guard(lock);
    return connection;
}

int Armband::connect() {
    MutexLock guard(lock);
    if (!initialised) {
        return kNotInitialised;
    }
    if (connection != ConnectionState::Disconnected) {
        return kRefused;
    }
    if (std::uint32_t& fails = faultCounter(Operation::Connect, false); fails > 0) {
        --fails;
        return kInjectedFailure;
    }
    connection = ConnectionState::Connecting;
    const std::uint64_t epoch = ++linkEpoch;
    if (std::uint32_t& mutes = faultCounter(Operation::Connect, true); mutes > 0) {
        --mutes;
        return 0;  // connecting until disconnect, drop or deinit; no callback
    }
    const std::shared_ptr<Device> armband = device;
    if (!present) {
        loop.post(delayFromNow(kConnectTimeoutMs, kConnectTimeoutMs), [this, epoch, armband] {
            Listeners live;
            {
                MutexLock inner(lock);
                if (linkEpoch != epoch) {
                    return;
                }
                connection = ConnectionState::Disconnected;
                ++linkEpoch;
                live = liveListeners();
            }
            for (const auto& listener : live) {
                listener->onDeviceConnectFailed(armband);
            }
        });
        return 0;
    }
    loop.post(delayFromNow(500, 1000), [this, epoch, armband] {
        Listeners live;
        {
            MutexLock inner(lock);
            if (linkEpoch != epoch) {
                return;
            }
            connection = ConnectionState::Connected;
            live = liveListeners();
        }
        for (const auto& listener : live) {
            listener->onDeviceConnected(armband);
        }
    });
    return 0;
}

int Armband::disconnect() {
    MutexLock guard(lock);
    if (!initialised) {
        return kNotInitialised;
    }
    if (connection != ConnectionState::Connected && connection != ConnectionState::Connecting) {
        return kRefused;
    }
    connection = ConnectionState::Disconnecting;
    const std::uint64_t epoch = ++linkEpoch;
    setStreams(0);
    packageIdOpen = false;
    const std::shared_ptr<Device> armband = device;
    loop.post(delayFromNow(50, 150), [this, epoch, armband] {
        Listeners live;
        {
            MutexLock inner(lock);
            if (linkEpoch != epoch) {
                return;  // the link was lost meanwhile, which has reported it
            }
            connection = ConnectionState::Disconnected;
            live = liveListeners();
        }
        for (const auto& listener : live) {
            listener->onDeviceDisconnected(armband, kReasonRequested);
        }
    });
    return 0;
}

void Armband::drop() {
    MutexLock guard(lock);
    if (connection == ConnectionState::Disconnected) {
        return;
    }
    const ConnectionState before = connection;
    connection = ConnectionState::Disconnected;
    ++linkEpoch;
    setStreams(0);
    packageIdOpen = false;
    const std::shared_ptr<Device> armband = device;
    if (before == ConnectionState::Connecting) {
        notifyListeners(Clock::now(), [armband](HubListener& listener) {
            listener.onDeviceConnectFailed(armband);
        });
    } else {
        notifyListeners(Clock::now(), [armband](HubListener& listener) {
            listener.onDeviceDisconnected(armband, kReasonLinkLost);
        });
    }
}

std::shared_ptr<DeviceSetting> Armband::setting() {
    MutexLock guard(lock);
    return settingAvailable ? settingObject : nullptr;
}

}  // namespace tessel::sim
