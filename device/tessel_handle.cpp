#include "device/tessel_handle.h"

#include "core/emg_rate.h"
#include "core/event_queue.h"
#include "core/exit_application.h"
#include "core/log.h"
#include "core/recording_timer.h"
#include "core/request_watchdog.h"
#include "device/acquisition_state.h"
#include "device/gesture_names.h"
#include "device/hub_events.h"
#include "device/pending_result.h"
#include "device/raw_data_routing.h"
#include "protocol/wire.h"
#include "server/client_registry.h"

std::shared_ptr<tessel::Hub> hub;
std::shared_ptr<TesselHandle> handle;

namespace {

constexpr int kSwitchAttempts = 3;
constexpr auto kRawSampleRate = static_cast<std::uint32_t>(kEmgFramesPerSecond);
constexpr std::uint8_t kBitsPerSample = 8;
constexpr std::uint8_t kBytesPerChannelInPacket = 16;

int asInt(tessel::ResponseResult result) {
    return static_cast<int>(result);
}

}  // namespace

TesselHandle::TesselHandle(std::shared_ptr<tessel::Hub> owner) : hub(std::move(owner)) {}

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
            postHubEvent(kNotifyDeviceFound, 0);
        }
    } else {
        logLine("%s, no device found, continue scanning", name);
        hub->startScan(kScanThreshold);
    }
}

bool TesselHandle::settleScan() {
    std::uint64_t watched = scanWatch.load();
    // A watch that has expired is answered by its give-up, already queued.
    if (watched == 0 || !requestWatchdog.disarm(watched)) {
        return false;
    }
    scanWatch.compare_exchange_strong(watched, 0);
    return true;
}

int TesselHandle::startScan() {
    const std::chrono::milliseconds bound(kScanBoundMs);
    const std::uint64_t running = scanWatch.load();
    if (running != 0 && requestWatchdog.extend(running, bound)) {
        logLine("TesselHandle::startScan, the scan under way goes on for %d ms from now",
                static_cast<int>(kScanBoundMs));
        return 0;
    }
    // The watch is in place before the scan starts: its end may come first.
    // Its give-up names it, so that it cannot end a later scan.
    auto self = std::make_shared<std::atomic<std::uint64_t>>(0);
    const std::uint64_t watched = requestWatchdog.arm(bound, [self] {
        const std::uint64_t id = self->load();
        std::vector<std::uint8_t> payload{kScanGivenUp};
        for (int i = 0; i < 8; ++i) {
            payload.push_back(static_cast<std::uint8_t>(id >> (8 * i)));
        }
        eventQueue.push(makeEventRecord(INTERNAL_EVT, payload.data(), payload.size()));
    });
    self->store(watched);
    scanWatch.store(watched);
    const int result = hub->startScan(kScanThreshold);
    if (result != 0) {
        requestWatchdog.disarm(watched);
        std::uint64_t expected = watched;
        scanWatch.compare_exchange_strong(expected, 0);
    }
    return result;
}

bool TesselHandle::stopScan() {
    std::uint64_t watched = scanWatch.load();
    if (watched == 0 || !requestWatchdog.disarm(watched)) {
        return false;  // none, or one whose give-up is queued and answers it
    }
    scanWatch.compare_exchange_strong(watched, 0);
    hub->stopScan();
    logLine("TesselHandle::stopScan, scan stopped");
    return true;
}

void TesselHandle::giveUpScan(std::uint64_t watched) {
    if (watched == 0 || !scanWatch.compare_exchange_strong(watched, 0)) {
        return;
    }
    hub->stopScan();
    logLine("TesselHandle::startScan, no armband found within %d ms, given up",
            static_cast<int>(kScanBoundMs));
    const std::uint8_t answer[] = {kNotifyDeviceFound, STATUS_DEVICE_ERROR};
    sendToClients(answer, sizeof answer);
}

void TesselHandle::onStateChanged(std::int32_t state) {
    logLine("%s, new state is %d", "TesselHandle::onStateChanged", static_cast<int>(state));
    if (state == 3) {
        exitApplication();
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
        postHubEvent(kNotifyConnected, STATUS_DEVICE_ERROR);
    }
}

bool TesselHandle::settleConnect() {
    const std::uint64_t watched = connectWatch.exchange(0);
    return watched == 0 || requestWatchdog.disarm(watched);
}

void TesselHandle::watchConnect() {
    tearingDownConnect.store(false);
    connectWatch.store(requestWatchdog.arm(std::chrono::milliseconds(kArmbandSilenceMs), [] {
        logLine("TesselHandle::connect, no answer within %d ms, given up",
                static_cast<int>(kArmbandSilenceMs));
        eventQueue.push(makeEventRecord(INTERNAL_EVT, {kConnectGivenUp}));
    }));
}

void TesselHandle::unwatchConnect() {
    requestWatchdog.disarm(connectWatch.exchange(0));
}

void TesselHandle::giveUpConnect() {
    const tessel::DevicePtr current = currentDevice();
    if (current) {
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
    const std::uint8_t answer[] = {kConnectAnswer, STATUS_DEVICE_ERROR};
    sendToClients(answer, sizeof answer);
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
    postHubEvent(kNotifyConnected, 0);
}

void TesselHandle::onDeviceDisconnected(tessel::DevicePtr, std::uint8_t reason) {
    logLine("%s, reason(%d)", "TesselHandle::onDeviceDisconnected", reason);
    storeDevice(nullptr);
    dataMode.store(IDLE_MODE);
    // A window that holds its frames is saved by its queued end; one still
    // filling is lost with the link, and answered so at once.
    const bool windowLost = !rawBuffer.filled() && abandonRecordingWindow();
    if (recordTimerArmed.load() != 0) {
        recordingTimer.stop();
        recordTimerArmed.store(0);
    }
    resetAcquisitionState();
    previewSwitch.close();
    if (windowLost) {
        logLine("%s, the recording window under way is lost", "TesselHandle::onDeviceDisconnected");
        postHubEvent(kRecordAnswer, STATUS_NO_DEVICE);
    }
    if (tearingDownConnect.exchange(false)) {
        return;  // the end of an attempt already answered as given up
    }
    postHubEvent(kNotifyDisconnected, 0);
}

void TesselHandle::onGestureData(tessel::DevicePtr, std::uint8_t gesture) {
    logLine("%s, %s", "TesselHandle::onGestureData", gestureName(gesture));
    if (dataMode.load() == GESTURE_MODE) {
        postHubEvent(kNotifyGesture, gesture);
    }
}

void TesselHandle::onDeviceStatusChanged(tessel::DevicePtr, std::uint8_t status) {
    logLine("%s, %s", "TesselHandle::onDeviceStatusChanged", deviceStatusName(status).c_str());
}

void TesselHandle::onDeviceData(tessel::DevicePtr, std::uint32_t, tessel::RawPacket data) {
    if (data) {
        routeRawPacket(*data, &previewSwitch);
    }
}

std::uint8_t TesselHandle::setDataNotifySwitch(std::uint32_t flags) {
    const char* name = "TesselHandle::setDataNotifySwitch";
    const std::chrono::milliseconds timeout(responseTimeoutMs.load());
    std::uint8_t status = STATUS_DEVICE_ERROR;
    for (int attempt = 0; attempt < kSwitchAttempts; ++attempt) {
        const tessel::DevicePtr current = currentDevice();
        if (!current) {
            logLine("%s, device not exist", name);
            return STATUS_NO_DEVICE;
        }
        const std::shared_ptr<tessel::DeviceSetting> setting = current->getSetting();
        if (!setting) {
            logLine("%s, setting not exist", name);
            status = STATUS_NO_SETTING;
            continue;
        }
        status = STATUS_DEVICE_ERROR;
        auto pending = std::make_shared<PendingResult<tessel::ResponseResult>>();
        setting->setDataNotifySwitch(flags, [pending, name](tessel::ResponseResult result) {
            pending->deliver(result);
            logLine("%s, result(%d)", name, asInt(result));
        });
        const auto result = pending->waitFor(timeout);
        if (!result) {
            logLine("%s, no answer within %d ms", name, static_cast<int>(timeout.count()));
            continue;
        }
        if (*result == tessel::ResponseResult::Success) {
            return STATUS_OK;
        }
    }
    logLine("%s, flags(0x%02x) not accepted after %d attempts", name, static_cast<unsigned>(flags),
            kSwitchAttempts);
    return status;
}

VersionMap TesselHandle::getVersions() {
    struct Answers {
        Mutex lock;
        VersionMap versions GUARDED_BY(lock){{"HW", L""}, {"FW", L""}};
        int answered GUARDED_BY(lock) = 0;
    };
    const tessel::DevicePtr current = currentDevice();
    const std::shared_ptr<tessel::DeviceSetting> setting =
        current ? current->getSetting() : nullptr;
    if (!setting) {
        return VersionMap{{"HW", L""}, {"FW", L""}};
    }
    auto pending = std::make_shared<PendingResult<bool>>();
    auto answers = std::make_shared<Answers>();
    auto store = [pending, answers](const char* key) {
        return [pending, answers, key](tessel::ResponseResult result, const std::wstring& version) {
            MutexLock guard(answers->lock);
            if (result == tessel::ResponseResult::Success) {
                answers->versions[key] = version;
            }
            if (++answers->answered == 2) {
                pending->deliver(true);
            }
        };
    };
    setting->queryHardwareVersion(store("HW"));
    setting->queryFirmwareVersion(store("FW"));
    const std::chrono::milliseconds timeout(responseTimeoutMs.load());
    if (!pending->waitFor(timeout)) {
        logLine("%s, no answer within %d ms", "TesselHandle::getVersions",
                static_cast<int>(timeout.count()));
    }
    MutexLock guard(answers->lock);
    return answers->versions;
}

void TesselHandle::setEmgRawDataConfig(std::uint8_t mask, std::uint8_t count) {
    const char* name = "TesselHandle::setEmgRawDataConfig";
    std::shared_ptr<tessel::DeviceSetting> setting;
    const SettingLookup found = findSetting(name, setting);
    if (found != SettingLookup::Found) {
        postHubEvent(kNotifyRawConfig,
                     found == SettingLookup::NoDevice ? STATUS_NO_DEVICE : STATUS_NO_SETTING);
        return;
    }
    const auto packetBytes = static_cast<std::uint8_t>(count * kBytesPerChannelInPacket);
    const std::uint64_t watched =
        requestWatchdog.arm(std::chrono::milliseconds(kArmbandSilenceMs), [name] {
            logLine("%s, no answer within %d ms, given up", name,
                    static_cast<int>(kArmbandSilenceMs));
            postHubEvent(kNotifyRawConfig, STATUS_DEVICE_ERROR);
        });
    setting->setEmgRawDataConfig(
        kRawSampleRate, mask, packetBytes, kBitsPerSample,
        [name, watched](tessel::ResponseResult result) {
            logLine("%s, result(%d)", name, asInt(result));
            if (!requestWatchdog.disarm(watched)) {
                logLine("%s, answer after the request was given up: ignored", name);
                return;
            }
            postHubEvent(kNotifyRawConfig,
                         result == tessel::ResponseResult::Success ? 0 : STATUS_DEVICE_ERROR);
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

std::uint8_t TesselHandle::trainModelUpdate(std::uint32_t length, const std::uint8_t* data) {
    const char* name = "TesselHandle::trainModelUpdate";
    std::shared_ptr<tessel::DeviceSetting> setting;
    const SettingLookup found = findSetting(name, setting);
    if (found != SettingLookup::Found) {
        return statusOf(found);
    }
    const std::chrono::milliseconds silence(kArmbandSilenceMs);
    const std::uint64_t watched = requestWatchdog.arm(silence, [name] {
        logLine("%s, no progress within %d ms, given up", name,
                static_cast<int>(kArmbandSilenceMs));
        postHubEvent(kNotifyUploadDone, STATUS_DEVICE_ERROR);
    });
    setting->trainModelUpdate(
        length, data,
        [name, watched, silence](tessel::ResponseResult result, std::uint32_t percentage) {
            logLine("%s, result(%d) percentage(%d)", name, asInt(result),
                    static_cast<int>(percentage));
            const auto progress = static_cast<std::uint8_t>(percentage & 0xFF);
            const bool last = result != tessel::ResponseResult::Success || progress == 100;
            if (!(last ? requestWatchdog.disarm(watched)
                       : requestWatchdog.extend(watched, silence))) {
                logLine("%s, report after the upload was given up: ignored", name);
                return;
            }
            if (result != tessel::ResponseResult::Success) {
                postHubEvent(kNotifyUploadDone, STATUS_DEVICE_ERROR);
                return;
            }
            postHubEvent(kNotifyUploadProgress, progress);
            if (progress == 100) {
                postHubEvent(kNotifyUploadDone, 0);
            }
        });
    return STATUS_OK;
}
