// The device handler: the SDK's one listener and the server's one holder of
// the armband.
//
// Listener callbacks run on the SDK callback thread; they only log, route raw
// packets (RawRouting) and queue events for the main thread: HUB_EVT records,
// INTERNAL_EVT records and tasks. A disconnection stops the routing at once
// and queues INTERNAL_EVT kDisconnected, on which the main thread resets the
// acquisition state and answers what the link took with it.
//
// The operations run on the main thread and never wait: a request is issued
// and its outcome comes later, as a notification (a connection, a raw
// configuration, a model upload) or as a task that runs `done` on the main
// thread (a stream switch, the versions). Each request is watched by the
// request watchdog and given up, with a log line and an F0 answer, when the
// armband stays silent. `device` is replaced on the callback thread and read
// on the main thread under deviceLock.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "base/event_record.h"
#include "base/mutex.h"
#include "tessel/tessel.h"

class EventQueue;
class RawRouting;
class RequestWatchdog;

using VersionMap = std::map<std::string, std::wstring>;  // "HW" and "FW"

// How long the armband may stay silent on a connection, a raw configuration or
// an upload in progress before the request is given up, and the longest a
// stream switch takes with its attempts. Real time, whatever the simulated
// armband's speed: a connection to an absent armband fails by itself after 2 s.
inline constexpr std::int64_t kArmbandSilenceMs = 5000;

// The signal strength a scan asks of the armbands it reports.
inline constexpr std::uint8_t kScanThreshold = 0xD0;

// INTERNAL_EVT code: a connection attempt was given up (see giveUpConnect).
inline constexpr std::uint8_t kConnectGivenUp = 3;

// How long a scan looks for the armband, in real time; a new scan command
// while one runs gives it this long again from then.
inline constexpr std::int64_t kScanBoundMs = 30000;
// INTERNAL_EVT code, followed by the scan's watch (eight bytes, low byte
// first): a scan found nothing in time (see giveUpScan).
inline constexpr std::uint8_t kScanGivenUp = 4;
// INTERNAL_EVT code, followed by 1 when the recording window was full when
// the link went: the armband is gone (see TesselHandle::onDeviceDisconnected).
inline constexpr std::uint8_t kDisconnected = 5;

class TesselHandle : public tessel::HubListener {
  public:
    // Status of a stream switch: 0 accepted, 0xF2 no armband, 0xF1 no setting
    // object, 0xF0 refused or never answered.
    using SwitchDone = std::function<void(std::uint8_t status)>;
    using VersionsDone = std::function<void(const VersionMap& versions)>;

    // The queue, the watchdog and the routing must outlive the handle.
    TesselHandle(std::shared_ptr<tessel::Hub> hub, EventQueue& events, RequestWatchdog& watchdog,
                 RawRouting& routing);
    ~TesselHandle() override;
    TesselHandle(const TesselHandle&) = delete;
    TesselHandle& operator=(const TesselHandle&) = delete;

    void onScanFinished() override;
    void onStateChanged(std::int32_t state) override;
    void onDeviceFound(tessel::DevicePtr device) override;
    void onDeviceConnectFailed(tessel::DevicePtr device) override;
    void onDeviceConnected(tessel::DevicePtr device) override;
    void onDeviceDisconnected(tessel::DevicePtr device, std::uint8_t reason) override;
    void onGestureData(tessel::DevicePtr device, std::uint8_t gesture) override;
    void onDeviceStatusChanged(tessel::DevicePtr device, std::uint8_t status) override;
    void onDeviceData(tessel::DevicePtr device, std::uint32_t dataType,
                      tessel::RawPacket data) override;

    // Switches the armband's streams (0 all off, 0x40 gesture events, 0x80 raw
    // EMG): up to three attempts, each bounded by the response time-out and
    // all of them by kArmbandSilenceMs. `done` runs on the main thread, as a
    // task, with the status.
    void setDataNotifySwitch(std::uint32_t flags, SwitchDone done);
    // Asks for the hardware ("HW") and firmware ("FW") versions; `done` runs
    // on the main thread once both are in, or the response time-out has
    // passed, with empty entries for the unknown ones.
    void getVersions(VersionsDone done);
    // Returns at once; the outcome comes as notification 5 for `origin`,
    // 05 F0 when the armband stays silent.
    void setEmgRawDataConfig(std::uint8_t channelMask, std::uint8_t channelCount,
                             const Origin& origin = {});
    // 0 when the upload was handed to the armband: progress comes as
    // notifications 0x0D, the end as 0x0C for `origin` (0C F0 when the
    // progress stops). 0xF2 with no armband and 0xF1 without a setting
    // object: nothing follows.
    std::uint8_t trainModelUpdate(std::uint32_t length, const std::uint8_t* data,
                                  const Origin& origin = {});
    // 0 when an armband with a setting object is there, else 0xF2 or 0xF1,
    // logged with `name`.
    std::uint8_t settingStatus(const char* name) const;

    // Main thread, right before the device is asked to connect: the connection
    // is given up when neither onDeviceConnected nor onDeviceConnectFailed
    // comes within kArmbandSilenceMs; an INTERNAL_EVT kConnectGivenUp then
    // reaches giveUpConnect. unwatchConnect when the device refused to connect.
    void watchConnect();
    void unwatchConnect();
    // Main thread: tears the attempt down (its disconnection is not reported)
    // and forgets the armband (03 and 04 then answer F2 until a scan finds it);
    // the caller answers 03 F0.
    void giveUpConnect();

    // Main thread. Starts a scan bounded to kScanBoundMs, or gives the scan
    // under way kScanBoundMs more from now without starting another. Returns
    // the hub's result: 0 when the scan runs. Its end comes as notification 2:
    // 02 00 once an armband was found, or, when none was, INTERNAL_EVT
    // kScanGivenUp reaches giveUpScan.
    int startScan();
    // Main thread. Stops the scan under way, which then answers nothing;
    // false when none ran.
    bool stopScan();
    // Main thread, when the scan watched by `watched` reached its bound: stops
    // the armband's scan and returns true (the caller answers 02 F0), unless
    // the scan ended meanwhile.
    bool giveUpScan(std::uint64_t watched);
    bool scanning() const { return scanWatch.load() != 0; }

    tessel::DevicePtr currentDevice() const EXCLUDES(deviceLock);
    // How long one wait for the armband may last (2 s unless changed).
    void setResponseTimeout(std::chrono::milliseconds timeout);

  private:
    enum class SettingLookup { Found, NoDevice, NoSetting };
    struct SwitchRequest;
    // 0, 0xF2 or 0xF1.
    static std::uint8_t statusOf(SettingLookup found);

    void storeDevice(tessel::DevicePtr newDevice) EXCLUDES(deviceLock);
    // The current armband's setting object; logs "%s, device not exist" or
    // "%s, setting not exist" with `name` when there is none.
    SettingLookup findSetting(const char* name,
                              std::shared_ptr<tessel::DeviceSetting>& setting) const;
    // Main thread: the next attempt of a stream switch, or its end.
    void attemptSwitch(const std::shared_ptr<SwitchRequest>& request);
    void retryOrFinish(const std::shared_ptr<SwitchRequest>& request, std::uint8_t status);
    void finishSwitch(const std::shared_ptr<SwitchRequest>& request, std::uint8_t status);

    // True when the outcome of the connection attempt is to be reported: no
    // attempt was watched, or its wait was still on.
    bool settleConnect();
    // True when the scan's end is to be reported here: a scan was watched and
    // its bound had not passed (then giveUpScan answers).
    bool settleScan();

    const std::shared_ptr<tessel::Hub> hub;
    EventQueue& events;
    RequestWatchdog& watchdog;
    RawRouting& routing;
    mutable Mutex deviceLock;
    tessel::DevicePtr device GUARDED_BY(deviceLock);
    std::atomic<std::int64_t> responseTimeoutMs{2000};
    std::atomic<std::uint64_t> connectWatch{0};   // the watched attempt; 0 none
    std::atomic<bool> tearingDownConnect{false};  // set by giveUpConnect
    // The watch of the scan under way; 0 none. Set and cleared on the main
    // thread, cleared on the SDK callback thread when the scan finds the armband.
    std::atomic<std::uint64_t> scanWatch{0};
};
