#include "device/tessel_handle.h"

#include "core/exit_application.h"
#include "core/log.h"
#include "core/recording_timer.h"
#include "device/acquisition_state.h"
#include "device/gesture_names.h"
#include "device/hub_events.h"
#include "device/pending_result.h"
#include "device/raw_data_routing.h"

std::shared_ptr<tessel::Hub> hub;
std::shared_ptr<TesselHandle> handle;

namespace {

constexpr std::uint8_t kScanThreshold = 0xD0;
constexpr int kSwitchAttempts = 3;
constexpr std::uint32_t kRawSampleRate = 650;
constexpr std::uint8_t kBitsPerSample = 8;
constexpr std::uint8_t kBytesPerChannelInPacket = 16;

int asInt(tessel::ResponseResult result) { return static_cast<int>(result); }

}  // namespace

TesselHandle::TesselHandle(std::shared_ptr<tessel::Hub> owner) : hub(std::move(owner)) {}

TesselHandle::~TesselHandle() { storeDevice(nullptr); }

tessel::DevicePtr TesselHandle::currentDevice() const {
    std::lock_guard<std::mutex> guard(deviceLock);
    return device;
}

void TesselHandle::storeDevice(tessel::DevicePtr newDevice) {
    std::lock_guard<std::mutex> guard(deviceLock);
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
    if (currentDevice()) {
        logLine("%s, device found, wait for conn", name);
        postHubEvent(kNotifyDeviceFound, 0);
    } else {
        logLine("%s, no device found, continue scanning", name);
        hub->startScan(kScanThreshold);
    }
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

void TesselHandle::onDeviceConnected(tessel::DevicePtr connected) {
    const char* name = "TesselHandle::onDeviceConnected";
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
    if (recordTimerArmed.load() != 0) {
        recordingTimer.stop();
        recordTimerArmed.store(0);
    }
    resetAcquisitionState();
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
        routeRawPacket(*data);
    }
}

void TesselHandle::setDataNotifySwitch(std::uint32_t flags) {
    const char* name = "TesselHandle::setDataNotifySwitch";
    const std::chrono::milliseconds timeout(responseTimeoutMs.load());
    for (int attempt = 0; attempt < kSwitchAttempts; ++attempt) {
        const tessel::DevicePtr current = currentDevice();
        if (!current) {
            logLine("%s, device not exist", name);
            return;
        }
        const std::shared_ptr<tessel::DeviceSetting> setting = current->getSetting();
        if (!setting) {
            logLine("%s, setting not exist", name);
            continue;
        }
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
            return;
        }
    }
}

VersionMap TesselHandle::getVersions() {
    struct Answers {
        VersionMap versions{{"HW", L""}, {"FW", L""}};
        int answered = 0;
    };
    const tessel::DevicePtr current = currentDevice();
    const std::shared_ptr<tessel::DeviceSetting> setting = current ? current->getSetting() : nullptr;
    if (!setting) {
        return Answers{}.versions;
    }
    auto pending = std::make_shared<PendingResult<bool>>();
    auto answers = std::make_shared<Answers>();
    auto mutex = std::make_shared<std::mutex>();
    auto store = [pending, answers, mutex](const char* key) {
        return [pending, answers, mutex, key](tessel::ResponseResult result,
                                               const std::wstring& version) {
            std::lock_guard<std::mutex> guard(*mutex);
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
    std::lock_guard<std::mutex> guard(*mutex);
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
    setting->setEmgRawDataConfig(kRawSampleRate, mask, packetBytes, kBitsPerSample,
                                 [name](tessel::ResponseResult result) {
                                     logLine("%s, result(%d)", name, asInt(result));
                                     postHubEvent(kNotifyRawConfig,
                                                  result == tessel::ResponseResult::Success
                                                      ? 0
                                                      : STATUS_DEVICE_ERROR);
                                 });
}

void TesselHandle::trainModelUpdate(std::uint32_t length, const std::uint8_t* data) {
    const char* name = "TesselHandle::trainModelUpdate";
    std::shared_ptr<tessel::DeviceSetting> setting;
    if (findSetting(name, setting) != SettingLookup::Found) {
        return;
    }
    setting->trainModelUpdate(
        length, data, [name](tessel::ResponseResult result, std::uint32_t percentage) {
            logLine("%s, result(%d) percentage(%d)", name, asInt(result),
                    static_cast<int>(percentage));
            if (result != tessel::ResponseResult::Success) {
                postHubEvent(kNotifyUploadDone, STATUS_DEVICE_ERROR);
                return;
            }
            const auto progress = static_cast<std::uint8_t>(percentage & 0xFF);
            postHubEvent(kNotifyUploadProgress, progress);
            if (progress == 100) {
                postHubEvent(kNotifyUploadDone, 0);
            }
        });
}
