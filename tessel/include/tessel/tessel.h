// The armband's device SDK: one hub that finds and connects the armband, the
// armband itself, its setting requests, and the listener through which the SDK
// reports what happens.
//
// Threads: every listener callback and every completion callback arrives on the
// SDK's own callback thread, one at a time, never on the thread that made the
// request. A callback must not wait for another completion: that completion
// would arrive on the very thread that waits.
//
// Requests on a DeviceSetting complete through their callback exactly once,
// except trainModelUpdate, whose callback reports progress repeatedly until it
// reaches 100 or fails. Other calls return an integer code, 0 on success.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessel {

// Outcome of a setting request: 0 success, anything else a failure.
enum class ResponseResult : std::int32_t {
    Success = 0,
    Failed = 1,
    Timeout = 2,
    InvalidParameter = 3,
    NotSupported = 4,
    Disconnected = 5,
};

enum ConnectionState : std::int32_t {
    Disconnected = 0,
    Disconnecting = 1,
    Connecting = 2,
    Connected = 3,
};

// Flags of DeviceSetting::setDataNotifySwitch.
inline constexpr std::uint32_t kNotifyNone = 0x00;
inline constexpr std::uint32_t kNotifyGesture = 0x40;
inline constexpr std::uint32_t kNotifyEmgRaw = 0x80;

// Data type passed to HubListener::onDeviceData for a raw EMG packet.
inline constexpr std::uint32_t kDataTypeEmgRaw = 0x80;

// Results of Hub::run.
inline constexpr int kRunOk = 0;              // work was dispatched
inline constexpr int kRunTimeout = 7;         // the wait ended with nothing to do
inline constexpr int kRunNotInitialised = 1;  // init has not been called, or deinit has

using ResultCallback = std::function<void(ResponseResult result)>;
using VersionCallback = std::function<void(ResponseResult result, const std::wstring& version)>;
using ProgressCallback = std::function<void(ResponseResult result, std::uint32_t percentage)>;

class DeviceSetting {
  public:
    virtual ~DeviceSetting() = default;
    virtual void queryHardwareVersion(VersionCallback callback) = 0;
    virtual void queryFirmwareVersion(VersionCallback callback) = 0;
    // Copies the image before it returns.
    virtual void trainModelUpdate(std::uint32_t length, const std::uint8_t* data,
                                  ProgressCallback callback) = 0;
    virtual void setDataNotifySwitch(std::uint32_t flags, ResultCallback callback) = 0;
    virtual void openPackageId(std::uint32_t enable, ResultCallback callback) = 0;
    // sampleRate frames per second, one bit per channel, bytes in one packet
    // (channels x 16), bits per sample.
    virtual void setEmgRawDataConfig(std::uint32_t sampleRate, std::uint8_t channelMask,
                                     std::uint8_t packetBytes, std::uint8_t bitsPerSample,
                                     ResultCallback callback) = 0;
};

class Device {
  public:
    virtual ~Device() = default;
    virtual ConnectionState getConnectionState() = 0;
    // 0 = accepted; onDeviceConnected follows.
    virtual int connect(int mode) = 0;
    // 0 = accepted; onDeviceDisconnected follows.
    virtual int disconnect() = 0;
    // Empty when the armband offers no setting object.
    virtual std::shared_ptr<DeviceSetting> getSetting() = 0;
};

using DevicePtr = std::shared_ptr<Device>;
using RawPacket = std::shared_ptr<const std::vector<std::uint8_t>>;

class HubListener {
  public:
    virtual void onScanFinished() {}
    virtual void onStateChanged(std::int32_t /*state*/) {}
    virtual void onDeviceFound(DevicePtr /*device*/) {}
    virtual void onDeviceConnectFailed(DevicePtr /*device*/) {}
    virtual void onDeviceConnected(DevicePtr /*device*/) {}
    virtual void onDeviceDisconnected(DevicePtr /*device*/, std::uint8_t /*reason*/) {}
    virtual void onBatteryLevel(DevicePtr /*device*/, std::uint32_t /*level*/) {}
    virtual void onGestureData(DevicePtr /*device*/, std::uint8_t /*gesture*/) {}
    virtual void onDeviceStatusChanged(DevicePtr /*device*/, std::uint8_t /*status*/) {}
    virtual void onDeviceData(DevicePtr /*device*/, std::uint32_t /*dataType*/,
                              RawPacket /*data*/) {}
    virtual ~HubListener() = default;
};

class Hub {
  public:
    virtual ~Hub() = default;
    virtual int init(int comPort) = 0;
    virtual int deinit() = 0;
    virtual void setMode(int mode) = 0;
    virtual int registerListener(std::weak_ptr<HubListener> listener) = 0;
    virtual int unregisterListener(std::weak_ptr<HubListener> listener) = 0;
    // 0 = started; onDeviceFound for every armband seen, then onScanFinished.
    virtual int startScan(std::uint8_t rssiThreshold) = 0;
    virtual int stopScan() = 0;
    // Waits up to `milliseconds` for SDK work; kRunOk or kRunTimeout while the
    // hub is initialised.
    virtual int run(std::int64_t milliseconds) = 0;
};

class HubManager {
  public:
    // The process's one hub; the same instance on every call.
    static std::shared_ptr<Hub> getHubInstance(const std::wstring& clientName);
};

}  // namespace tessel
