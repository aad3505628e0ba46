// The device handler: the SDK's one listener and the server's one holder of
// the armband.
//
// Listener callbacks run on the SDK callback thread; they only log, update the
// acquisition state and queue HUB_EVT records. The operations run on the main
// thread; setDataNotifySwitch and getVersions wait for the armband's answer,
// each wait bounded so that an armband that never answers cannot freeze the
// server. `device` is replaced on the callback thread and read on the main
// thread under deviceLock.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "tessel/tessel.h"

using VersionMap = std::map<std::string, std::wstring>;  // "HW" and "FW"

class TesselHandle : public tessel::HubListener {
public:
    explicit TesselHandle(std::shared_ptr<tessel::Hub> hub);
    ~TesselHandle() override;
    TesselHandle(const TesselHandle&) = delete;
    TesselHandle& operator=(const TesselHandle&) = delete;

    void onScanFinished() override;
    void onStateChanged(std::int32_t state) override;
    void onDeviceFound(tessel::DevicePtr device) override;
    void onDeviceConnected(tessel::DevicePtr device) override;
    void onDeviceDisconnected(tessel::DevicePtr device, std::uint8_t reason) override;
    void onGestureData(tessel::DevicePtr device, std::uint8_t gesture) override;
    void onDeviceStatusChanged(tessel::DevicePtr device, std::uint8_t status) override;
    void onDeviceData(tessel::DevicePtr device, std::uint32_t dataType,
                      tessel::RawPacket data) override;

    // Switches the armband's streams (0 all off, 0x40 gesture events, 0x80 raw
    // EMG) and waits until it accepts; up to three attempts, then gives up.
    void setDataNotifySwitch(std::uint32_t flags);
    // Hardware ("HW") and firmware ("FW") versions; empty entries when unknown.
    VersionMap getVersions();
    // Returns at once; the outcome comes as notification 5.
    void setEmgRawDataConfig(std::uint8_t channelMask, std::uint8_t channelCount);
    // Returns at once; progress comes as notifications 0x0D, the end as 0x0C.
    void trainModelUpdate(std::uint32_t length, const std::uint8_t* data);

    tessel::DevicePtr currentDevice() const;
    // How long one wait for the armband may last (2 s unless changed).
    void setResponseTimeout(std::chrono::milliseconds timeout);

private:
    enum class SettingLookup { Found, NoDevice, NoSetting };

    void storeDevice(tessel::DevicePtr newDevice);
    // The current armband's setting object; logs "%s, device not exist" or
    // "%s, setting not exist" with `name` when there is none.
    SettingLookup findSetting(const char* name,
                              std::shared_ptr<tessel::DeviceSetting>& setting) const;

    const std::shared_ptr<tessel::Hub> hub;
    mutable std::mutex deviceLock;
    tessel::DevicePtr device;  // guarded by deviceLock
    std::atomic<std::int64_t> responseTimeoutMs{2000};
};

// Set once at start-up, before any other thread runs.
extern std::shared_ptr<tessel::Hub> hub;
extern std::shared_ptr<TesselHandle> handle;
