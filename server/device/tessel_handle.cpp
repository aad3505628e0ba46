#include "server/device/tessel_handle.h"

#include <algorithm>
#include "protocol/emg_rate.h"

#include "base/event_queue.h"
#include "base/exit_application.h"
#include "base/log.h"
#include "base/request_watchdog.h"
#include "protocol/wire.h"
#include "server/device/gesture_names.h"
#include "server/device/hub_events.h"
#include "server/device/raw_data_routing.h"

namespace {

constexpr int kSwitchAttempts = 3;
constexpr auto kRawSampleRate = static_cast<std::uint32_t>(kEmgFramesPerSecond);
constexpr std::uint8_t kBitsPerSample = 8;
constexpr std::uint8_t kBytesPerChannelInPacket = 16;

int asInt(tessel::ResponseResult result) {
    return static_cast<int>(result);
}

using SteadyClock = std::chrono::steady_clock;

}  // namespace

struct TesselHandle::SwitchRequest {
    std::uint32_t flags = 0;
    SwitchDone done;
    SteadyClock::time_point deadline;  // of all the attempts together
    int attempts = 0;
};

TesselHandle::TesselHandle(std::shared_ptr<tessel::Hub> owner, EventQueue& eventQueue,
                           RequestWatchdog& requestWatchdog, RawRouting& rawRouting)
    : hub(std::move(owner)), events(eventQueue), watchdog(requestWatchdog), routing(rawRouting) {}

TesselHandle::~TesselHandle() {
    storeDevice(nullptr);
}

tessel::DevicePtr TesselHandle::currentDevice() const {
    MutexLock guard(deviceLock);
    return device;
}

void TesselHandle::storeDevice(tessel::DevicePtr newDevice) {
    MutexLock guard(deviceLock);
    device = std::move(newDevice);
}

TesselHandle::SettingLookup TesselHandle::findSetting(
    const char* name, std::shared_ptr<tessel::DeviceSetting>& setting) const {
    const tessel::DevicePtr current = currentDevice();
    if (!current) {
        logLine("%s, device not exist", name);
        return SettingLookup::NoDevice;
    }
    setting = current->getSetting();
    if (!setting) {
        logLine("%s, setting not exist", name);
        return SettingLookup::NoSetting;
    }
    return SettingLookup::Found;
}

void TesselHandle::setResponseTimeout(std::chrono::milliseconds timeout) {
    responseTimeoutMs.store(timeout.count());
}

void TesselHandle::onScanFinished() {
    const char* name = "TesselHandle::onScanFinished";
    if (!scanning()) {
        logLine("%s, no scan is wanted any more", name);
        return;
    }
    if (currentDevice()) {
        logLine("%s, device found, wait for conn", name);
        if (settleScan()) {
            postHubEvent(events, kNotifyDeviceFound, 0);
        }
    } else {
        logLine("%s, no device found, continue scanning", name);
        hub->startScan(kScanThreshold);
    }
}

bool TesselHandle::settleScan() {
    std::uint64_t watched = scanWatch.load();
    // A watch that has expired is answered by its give-up, already queued.
    if (watched == 0 || !watchdog.disarm(watched)) {
        return false;
    }
    scanWatch.compare_exchange_strong(watched, 0);
    return true;
}

int TesselHandle::startScan() {
    const std::chrono::milliseconds bound(kScanBoundMs);
    const std::uint64_t running = scanWatch.load();
    if (running != 0 && watchdog.extend(running, bound)) {
        logLine("TesselHandle::startScan, the scan under way goes on for %d ms from now",
                static_cast<int>(kScanBoundMs));
        return 0;
    }
    // The watch is in place before the scan starts: its end may come first.
    // Its give-up names it, so that it cannot end a later scan.
    auto self = std::make_shared<std::atomic<std::uint64_t>>(0);
    const std::uint64_t watched = watchdog.arm(bound, [self, &events = events] {
        const std::uint64_t id = self->load();
        std::vector<std::uint8_t> payload{kScanGivenUp};
        for (int i = 0; i < 8; ++i) {
            payload.push_back(static_cast<std::uint8_t>(id >> (8 * i)));
        }
        events.push(makeEventRecord(INTERNAL_EVT, payload.data(), payload.size()));
    });
    self->store(watched);
    scanWatch.store(watched);
    const int result = hub->startScan(kScanThreshold);
    if (result != 0) {
        watchdog.disarm(watched);
        std::uint64_t expected = watched;
        scanWatch.compare_exchange_strong(expected, 0);
    }
    return result;
}

bool TesselHandle::stopScan() {
    std::uint64_t watched = scanWatch.load();
    if (watched == 0 || !watchdog.disarm(watched)) {
        return false;  // none, or one whose give-up is queued and answers it
    }
    scanWatch.compare_exchange_strong(watched, 0);
    hub->stopScan();
    logLine("TesselHandle::stopScan, scan stopped");
    return true;
}

bool TesselHandle::giveUpScan(std::uint64_t watched) {
    if (watched == 0 || !scanWatch.compare_exchange_strong(watched, 0)) {
        return false;
    }
    hub->stopScan();
    logLine("TesselHandle::startScan, no armband found within %d ms, given up",
            static_cast<int>(kScanBoundMs));
    return true;
}

void TesselHandle::onStateChanged(std::int32_t state) {
    logLine("%s, new state is %d", "TesselHandle::onStateChanged", static_cast<int>(state));
    if (state == 3) {
        exitApplication(events);
    }
}

void TesselHandle::onDeviceFound(tessel::DevicePtr found) {
    logLine("TesselHandle::onDeviceFound");
    if (found) {
        storeDevice(std::move(found));
        hub->stopScan();
    }
}

void TesselHandle::onDeviceConnectFailed(tessel::DevicePtr) {
    logLine("TesselHandle::onDeviceConnectFailed");
    if (tearingDownConnect.exchange(false)) {
        return;  // the end of an attempt already answered as given up
    }
    if (settleConnect()) {
        postHubEvent(events, kNotifyConnected, STATUS_DEVICE_ERROR);
    }
}

bool TesselHandle::settleConnect() {
    const std::uint64_t watched = connectWatch.exchange(0);
    return watched == 0 || watchdog.disarm(watched);
}

void TesselHandle::watchConnect() {
    tearingDownConnect.store(false);
    connectWatch.store(
        watchdog.arm(std::chrono::milliseconds(kArmbandSilenceMs), [&events = events] {
            logLine("TesselHandle::connect, no answer within %d ms, given up",
                    static_cast<int>(kArmbandSilenceMs));
            events.push(makeEventRecord(INTERNAL_EVT, {kConnectGivenUp}));
        }));
}

void TesselHandle::unwatchConnect() {
    watchdog.disarm(connectWatch.exchange(0));
}

void TesselHandle::giveUpConnect() {
    const tessel::DevicePtr current = currentDevice();
    if (!current) {
        return;
    }
    const tessel::ConnectionState state = current->getConnectionState();
    if (state == tessel::Connecting || state == tessel::Connected) {
        tearingDownConnect.store(true);
        if (current->disconnect() != 0) {
            tearingDownConnect.store(false);
        }
    }
    // An armband that never answered is not offered again: a new scan finds it.
    storeDevice(nullptr);
}

void TesselHandle::onDeviceConnected(tessel::DevicePtr connected) {
    const char* name = "TesselHandle::onDeviceConnected";
    if (!settleConnect()) {
        logLine("%s, after the connection was given up: ignored", name);
        return;
    }
    std::shared_ptr<tessel::DeviceSetting> setting = connected ? connected->getSetting() : nullptr;
    if (setting) {
        // Issued without waiting: their completions arrive on this very thread.
        setting->setDataNotifySwitch(tessel::kNotifyNone, [name](tessel::ResponseResult result) {
            logLine("%s, close all data notify when connected, result(%d)", name, asInt(result));
        });
        setting->openPackageId(1, [name](tessel::ResponseResult result) {
            logLine("%s, open package id, result(%d)", name, asInt(result));
        });
    }
    postHubEvent(events, kNotifyConnected, 0);
}

void TesselHandle::onDeviceDisconnected(tessel::DevicePtr, std::uint8_t reason) {
    logLine("%s, reason(%d)", "TesselHandle::onDeviceDisconnected", reason);
    storeDevice(nullptr);
    // Nothing more is routed from now on; a window that holds its frames has
    // its end queued already and is saved by it.
    const bool windowFull = routing.stop();
    events.push(makeEventRecord(INTERNAL_EVT,
                                {kDisconnected, windowFull ? std::uint8_t{1} : std::uint8_t{0}}));
    if (tearingDownConnect.exchange(false)) {
        return;  // the end of an attempt already answered as given up
    }
    postHubEvent(events, kNotifyDisconnected, 0);
}

void TesselHandle::onGestureData(tessel::DevicePtr, std::uint8_t gesture) {
    logLine("%s, %s", "TesselHandle::onGestureData", gestureName(gesture));
    if (routing.gestureStreamOn()) {
        postHubEvent(events, kNotifyGesture, gesture);
    }
}

void TesselHandle::onDeviceStatusChanged(tessel::DevicePtr, std::uint8_t status) {
    logLine("%s, %s", "TesselHandle::onDeviceStatusChanged", deviceStatusName(status).c_str());
}

void TesselHandle::onDeviceData(tessel::DevicePtr, std::uint32_t, tessel::RawPacket data) {
    if (data) {
        routing.route(*data);
    }
}

void TesselHandle::setDataNotifySwitch(std::uint32_t flags, SwitchDone done) {
    auto request = std::make_shared<SwitchRequest>();
    request->flags = flags;
    request->done = std::move(done);
    request->deadline = SteadyClock::now() + std::chrono::milliseconds(kArmbandSilenceMs);
    attemptSwitch(request);
}

void TesselHandle::attemptSwitch(const std::shared_ptr<SwitchRequest>& request) {
    const char* name = "TesselHandle::setDataNotifySwitch";
    ++request->attempts;
    std::shared_ptr<tessel::DeviceSetting> setting;
    const SettingLookup found = findSetting(name, setting);
    if (found == SettingLookup::NoDevice) {
        finishSwitch(request, STATUS_NO_DEVICE);
        return;
    }
    if (found == SettingLookup::NoSetting) {
        retryOrFinish(request, STATUS_NO_SETTING);
        return;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(request->deadline -
                                                                            SteadyClock::now());
    const auto bound = std::clamp(left, std::chrono::milliseconds(0),
                                  std::chrono::milliseconds(responseTimeoutMs.load()));
    const std::uint64_t watched = watchdog.arm(bound, [this, request, name, bound] {
        logLine("%s, no answer within %d ms", name, static_cast<int>(bound.count()));
        events.post([this, request] { retryOrFinish(request, STATUS_DEVICE_ERROR); });
    });
    setting->setDataNotifySwitch(
        request->flags, [this, request, name, watched](tessel::ResponseResult result) {
            logLine("%s, result(%d)", name, asInt(result));
            if (!watchdog.disarm(watched)) {
                return;  // given up already: the give-up goes on from there
            }
            events.post([this, request, result] {
                if (result == tessel::ResponseResult::Success) {
                    finishSwitch(request, STATUS_OK);
                } else {
                    retryOrFinish(request, STATUS_DEVICE_ERROR);
                }
            });
        });
}

void TesselHandle::retryOrFinish(const std::shared_ptr<SwitchRequest>& request,
                                 std::uint8_t status) {
    if (request->attempts < kSwitchAttempts && SteadyClock::now() < request->deadline) {
        attemptSwitch(request);
        return;
    }
    logLine("%s, flags(0x%02x) not accepted after %d attempts", "TesselHandle::setDataNotifySwitch",
            static_cast<unsigned>(request->flags), request->attempts);
    finishSwitch(request, status);
}

void TesselHandle::finishSwitch(const std::shared_ptr<SwitchRequest>& request,
                                std::uint8_t status) {
    // Always later, as a task: a caller never meets its outcome inside the call.
    events.post([request, status] {
        if (request->done) {
            request->done(status);
        }
    });
}

void TesselHandle::getVersions(VersionsDone done) {
    struct Answers {
        Mutex lock;
        VersionMap versions GUARDED_BY(lock){{"HW", L""}, {"FW", L""}};
        int answered GUARDED_BY(lock) = 0;
        std::uint64_t watch GUARDED_BY(lock) = 0;
        VersionsDone done;  // set before any answer can come, read once
    };
    const tessel::DevicePtr current = currentDevice();
    const std::shared_ptr<tessel::DeviceSetting> setting =
        current ? current->getSetting() : nullptr;
    if (!setting) {
        events.post([done = std::move(done)] { done(VersionMap{{"HW", L""}, {"FW", L""}}); });
        return;
    }
    auto answers = std::make_shared<Answers>();
    answers->done = std::move(done);
    // Whichever comes first, both answers or the time-out, hands the versions over.
    const auto handOver = [&events = events, answers] {
        VersionMap versions;
        {
            MutexLock guard(answers->lock);
            versions = answers->versions;
        }
        events.post([answers, versions] { answers->done(versions); });
    };
    const std::chrono::milliseconds timeout(responseTimeoutMs.load());
    {
        MutexLock guard(answers->lock);
        answers->watch = watchdog.arm(timeout, [handOver, timeout] {
            logLine("%s, no answer within %d ms", "TesselHandle::getVersions",
                    static_cast<int>(timeout.count()));
            handOver();
        });
    }
    auto store = [this, answers, handOver](const char* key) {
        return [this, answers, handOver, key](tessel::ResponseResult result,
                                              const std::wstring& version) {
            std::uint64_t watch = 0;
            {
                MutexLock guard(answers->lock);
                if (result == tessel::ResponseResult::Success) {
                    answers->versions[key] = version;
                }
                if (++answers->answered < 2) {
                    return;
                }
                watch = answers->watch;
            }
            if (watchdog.disarm(watch)) {
                handOver();
            }
        };
    };
    setting->queryHardwareVersion(store("HW"));
    setting->queryFirmwareVersion(store("FW"));
}

void TesselHandle::setEmgRawDataConfig(std::uint8_t mask, std::uint8_t count,
                                       const Origin& origin) {
    const char* name = "TesselHandle::setEmgRawDataConfig";
    std::shared_ptr<tessel::DeviceSetting> setting;
    const SettingLookup found = findSetting(name, setting);
    if (found != SettingLookup::Found) {
        postHubEvent(events, kNotifyRawConfig,
                     found == SettingLookup::NoDevice ? STATUS_NO_DEVICE : STATUS_NO_SETTING,
                     origin);
        return;
    }
    const auto packetBytes = static_cast<std::uint8_t>(count * kBytesPerChannelInPacket);
    const std::uint64_t watched = watchdog.arm(
        std::chrono::milliseconds(kArmbandSilenceMs), [name, origin, &events = events] {
            logLine("%s, no answer within %d ms, given up", name,
                    static_cast<int>(kArmbandSilenceMs));
            postHubEvent(events, kNotifyRawConfig, STATUS_DEVICE_ERROR, origin);
        });
    setting->setEmgRawDataConfig(
        kRawSampleRate, mask, packetBytes, kBitsPerSample,
        [this, name, watched, origin](tessel::ResponseResult result) {
            logLine("%s, result(%d)", name, asInt(result));
            if (!watchdog.disarm(watched)) {
                logLine("%s, answer after the request was given up: ignored", name);
                return;
            }
            postHubEvent(events, kNotifyRawConfig,
                         result == tessel::ResponseResult::Success ? 0 : STATUS_DEVICE_ERROR,
                         origin);
        });
}

std::uint8_t TesselHandle::statusOf(SettingLookup found) {
    switch (found) {
        case SettingLookup::NoDevice:
            return STATUS_NO_DEVICE;
        case SettingLookup::NoSetting:
            return STATUS_NO_SETTING;
        case SettingLookup::Found:
            break;
    }
    return STATUS_OK;
}

std::uint8_t TesselHandle::settingStatus(const char* name) const {
    std::shared_ptr<tessel::DeviceSetting> setting;
    return statusOf(findSetting(name, setting));
}

std::uint8_t TesselHandle::trainModelUpdate(std::uint32_t length, const std::uint8_t* data,
                                            const Origin& origin) {
    const char* name = "TesselHandle::trainModelUpdate";
    std::shared_ptr<tessel::DeviceSetting> setting;
    const SettingLookup found = findSetting(name, setting);
    if (found != SettingLookup::Found) {
        return statusOf(found);
    }
    const std::chrono::milliseconds silence(kArmbandSilenceMs);
    const std::uint64_t watched = watchdog.arm(silence, [name, origin, &events = events] {
        logLine("%s, no progress within %d ms, given up", name,
                static_cast<int>(kArmbandSilenceMs));
        postHubEvent(events, kNotifyUploadDone, STATUS_DEVICE_ERROR, origin);
    });
    setting->trainModelUpdate(
        length, data,
        [this, name, watched, silence, origin](tessel::ResponseResult result,
                                               std::uint32_t percentage) {
            logLine("%s, result(%d) percentage(%d)", name, asInt(result),
                    static_cast<int>(percentage));
            const auto progress = static_cast<std::uint8_t>(percentage & 0xFF);
            const bool last = result != tessel::ResponseResult::Success || progress == 100;
            if (!(last ? watchdog.disarm(watched) : watchdog.extend(watched, silence))) {
                logLine("%s, report after the upload was given up: ignored", name);
                return;
            }
            if (result != tessel::ResponseResult::Success) {
                postHubEvent(events, kNotifyUploadDone, STATUS_DEVICE_ERROR, origin);
                return;
            }
            postHubEvent(events, kNotifyUploadProgress, progress, origin);
            if (progress == 100) {
                postHubEvent(events, kNotifyUploadDone, 0, origin);
            }
        });
    return STATUS_OK;
}
