// The simulated armband and its radio link: everything the hub, the device and
// the setting object do, plus the wearer controls.
//
// One mutex, `lock`, guards every field below that is not atomic or const.
// Calls from any thread change state under it and queue their callbacks on the
// CallbackLoop (lock order: Armband::lock, then the loop's own lock); no
// listener or completion ever runs while `lock` is held. A queued task first
// does its state work under `lock`, then calls listeners or the completion as
// its very last act, touching nothing of the Armband after that.
//
// The threads (callback loop, stream, control endpoint) are started by init
// and joined by deinit and by the destructor; tasks and the stream refer to the
// Armband by plain pointer, which those joins keep valid.
//
// Codes returned by the calls that return one: 0 accepted, kNotInitialised,
// kRefused (not possible in the present state), kInjectedFailure
// (`fail OP`).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/mutex.h"
#include "callback_loop.h"
#include "control_server.h"
#include "random.h"
#include "tessel/simulator.h"
#include "tessel/tessel.h"
#include "wearer.h"

namespace tessel::sim {

inline constexpr int kNotInitialised = 1;
inline constexpr int kRefused = 2;
inline constexpr int kInjectedFailure = 3;

// The rate the armband streams at: its wearer's frames a second.
inline constexpr auto kSampleRate = static_cast<std::uint32_t>(kFramesPerSecond);
inline constexpr std::uint32_t kFramesPerPacket = 16;
// Raw packets queued for the callback thread beyond this are dropped.
inline constexpr std::size_t kMaxQueuedPackets = 512;

// Stream number of the random source of the SDK's delays.
inline constexpr std::uint64_t kTimingStream = 0x7431;

inline constexpr const wchar_t* kHardwareVersion = L"H3";
inline constexpr const wchar_t* kFirmwareVersion = L"V1.4-27";

class Armband {
  public:
    static std::shared_ptr<Armband> create(const Options& options);
    explicit Armband(const Options& options);  // use create: the device needs a weak pointer
    ~Armband();
    Armband(const Armband&) = delete;
    Armband& operator=(const Armband&) = delete;

    // Hub.
    int init();
    int deinit();
    int run(std::int64_t milliseconds);
    int registerListener(std::weak_ptr<HubListener> listener);
    int unregisterListener(std::weak_ptr<HubListener> listener);
    int startScan();
    int stopScan();

    // Device.
    ConnectionState connectionState();
    int connect();
    int disconnect();
    std::shared_ptr<DeviceSetting> setting();

    // Setting requests; each completes once on the callback thread (an upload
    // reports progress several times), or never when muted or after deinit.
    void queryVersion(Operation which, VersionCallback callback);
    void trainModelUpdate(std::uint32_t length, const std::uint8_t* data,
                          ProgressCallback callback);
    void setDataNotifySwitch(std::uint32_t flags, ResultCallback callback);
    void openPackageId(std::uint32_t enable, ResultCallback callback);
    void setEmgRawDataConfig(std::uint32_t sampleRate, std::uint8_t mask, std::uint8_t packetBytes,
                             std::uint8_t bitsPerSample, ResultCallback callback);

    // Wearer and faults.
    void setAction(WearerAction action);
    void setProfile(const WearerProfile& profile, std::uint32_t day);
    void drop();
    void setPresent(bool present);
    void addFault(Operation operation, bool muteIt, std::uint32_t count);
    void setSettingAvailable(bool available);
    bool postHubState(std::int32_t state);
    bool postDeviceStatus(std::uint8_t status);
    bool startReplay(const std::string& path, std::string& error);
    void stopReplay();
    void reseed(std::uint32_t seed);
    void reset();
    Status status();
    std::vector<std::uint8_t> lastModel();
    int controlPort();

  private:
    using Listeners = std::vector<std::shared_ptr<HubListener>>;
    enum class Admission { Proceed, NotConnected, Fail, Mute, Dropped };

    Clock::time_point delayFromNow(int shortestMs, int longestMs) REQUIRES(lock);
    Clock::time_point nextCompletionTime() REQUIRES(lock);
    Admission admit(std::optional<Operation> operation) REQUIRES(lock);
    static ResponseResult failureOf(Admission admission);
    void setStreams(std::uint32_t flags) REQUIRES(lock);
    Listeners liveListeners() REQUIRES(lock);
    std::uint32_t& faultCounter(Operation operation, bool muteIt) REQUIRES(lock);

    // Queues a call of every listener alive when the task runs.
    // False when the loop is not running.
    bool notifyListeners(Clock::time_point due, std::function<void(HubListener&)> call);
    // Queues the completion of an admitted request: success (after onSuccess,
    // run under lock) while the link that took the request is still up,
    // ResponseResult::Disconnected otherwise.
    void completeAt(Clock::time_point due, ResultCallback callback, std::function<void()> onSuccess)
        REQUIRES(lock);
    // Queues a completion with a fixed result.
    void completeWith(ResponseResult result, ResultCallback callback) REQUIRES(lock);

    void startControlEndpoint() REQUIRES(lifecycle);
    void streamLoop();
    void postPacket(RawPacket packet, std::uint64_t epoch) REQUIRES(lock);
    void postGesture(std::uint8_t gesture, std::uint64_t epoch) REQUIRES(lock);
    std::string handleControlLine(std::string_view line);

    const Options options;
    std::weak_ptr<Armband> self;
    std::shared_ptr<Device> device;  // the one armband, same object on every callback
    std::shared_ptr<DeviceSetting> settingObject;

    Mutex lifecycle;  // serialises init and deinit; taken before lock
    CallbackLoop loop;
    std::thread streamThread GUARDED_BY(lifecycle);
    ControlServer controlServer GUARDED_BY(lifecycle);
    std::atomic<int> listeningPort{0};

    Mutex lock ACQUIRED_AFTER(lifecycle);
    CondVar runWake;     // run's wait; signalled by deinit
    CondVar streamWake;  // the stream's wait
    bool initialised GUARDED_BY(lock) = false;
    bool streamStopping GUARDED_BY(lock) = false;
    std::vector<std::weak_ptr<HubListener>> listeners GUARDED_BY(lock);
    Random timing GUARDED_BY(lock);  // scan, connect and completion delays

    // The link.
    bool present GUARDED_BY(lock) = true;
    bool settingAvailable GUARDED_BY(lock) = true;
    ConnectionState connection GUARDED_BY(lock) = ConnectionState::Disconnected;
    std::uint64_t linkEpoch GUARDED_BY(lock) = 0;  // changes whenever a connection begins or ends
    bool scanning GUARDED_BY(lock) = false;
    std::uint64_t scanEpoch GUARDED_BY(lock) = 0;
    Clock::time_point completionsFreeAt
        GUARDED_BY(lock) = {};  // the armband answers one request at a time
    Clock::time_point uploadFreeAt GUARDED_BY(lock) = {};
    std::uint32_t failing[kOperationCount] GUARDED_BY(lock) = {};
    std::uint32_t muted[kOperationCount] GUARDED_BY(lock) = {};

    // The armband.
    std::uint32_t streams GUARDED_BY(lock) = 0;
    std::uint64_t streamEpoch GUARDED_BY(lock) = 0;  // changes when a stream starts afresh or stops
    std::uint8_t rawMask GUARDED_BY(lock) = 0xFF;
    std::uint8_t rawPacketBytes GUARDED_BY(lock) = 128;
    bool packageIdOpen GUARDED_BY(lock) = false;
    std::vector<std::uint8_t> model GUARDED_BY(lock);
    std::size_t queuedPackets GUARDED_BY(lock) = 0;
    std::uint64_t droppedPackets GUARDED_BY(lock) = 0;

    // The wearer.
    std::uint32_t seed GUARDED_BY(lock);
    std::uint64_t streamStarts GUARDED_BY(lock) = 0;  // since the seed was set
    std::uint64_t streamSeed GUARDED_BY(lock) = 0;    // for the stream that starts at streamEpoch
    WearerAction action GUARDED_BY(lock);
    std::uint64_t actionVersion GUARDED_BY(lock) = 0;
    const WearerProfile* wearerKind GUARDED_BY(lock) = &defaultWearerProfile();
    std::uint32_t wearerDay GUARDED_BY(lock) = 1;
    std::uint64_t profileVersion GUARDED_BY(lock) = 0;
    std::shared_ptr<const std::vector<std::uint8_t>> replayBytes GUARDED_BY(lock);
    std::string replayPath GUARDED_BY(lock);
    std::uint64_t replayVersion GUARDED_BY(lock) = 0;
};

}  // namespace tessel::sim
