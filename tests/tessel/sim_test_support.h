// Helpers for the simulated armband's tests: a listener that records every
// callback, and a fixture with a fresh, fast simulation.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tessel/simulator.h"
#include "tessel/tessel.h"

namespace tessel::sim::testing {

// Long enough for a loaded machine; tests wait for conditions, never for time.
inline constexpr std::chrono::seconds kPatience{20};

struct Event {
    std::string name;        // the callback's name without "on": "DeviceFound", "ScanFinished", ...
    std::int64_t value = 0;  // state, reason, gesture or status; data type for DeviceData
    std::thread::id thread;
    std::chrono::steady_clock::time_point at;
    DevicePtr device;
    RawPacket packet;
};

class RecordingListener : public HubListener {
  public:
    void onScanFinished() override;
    void onStateChanged(std::int32_t state) override;
    void onDeviceFound(DevicePtr device) override;
    void onDeviceConnectFailed(DevicePtr device) override;
    void onDeviceConnected(DevicePtr device) override;
    void onDeviceDisconnected(DevicePtr device, std::uint8_t reason) override;
    void onGestureData(DevicePtr device, std::uint8_t gesture) override;
    void onDeviceStatusChanged(DevicePtr device, std::uint8_t status) override;
    void onDeviceData(DevicePtr device, std::uint32_t dataType, RawPacket data) override;

    // Called inside every callback, after it is recorded, on the SDK thread.
    void setReaction(std::function<void(const Event&)> reaction);

    // Waits until the predicate holds over the events so far; false on time-out.
    bool waitUntil(const std::function<bool(const std::vector<Event>&)>& holds,
                   std::chrono::milliseconds patience = kPatience);
    bool waitForCount(const std::string& name, std::size_t count,
                      std::chrono::milliseconds patience = kPatience);
    std::vector<Event> events();
    std::vector<std::string> names();  // every event's name, in order, data excluded
    std::size_t count(const std::string& name);
    std::vector<RawPacket> packets();
    // True when two callbacks ever ran at the same time.
    bool overlapped() const { return overlap.load(); }

  private:
    void record(Event event);

    std::mutex lock;
    std::condition_variable changed;
    std::vector<Event> recorded;                 // guarded by lock
    std::function<void(const Event&)> reaction;  // guarded by lock
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
};

// Options for tests: short delays, no control endpoint.
Options fastOptions(std::uint32_t seed = 1, double streamSpeed = 1.0);

// A result or progress that a completion delivered.
struct Completion {
    ResponseResult result = ResponseResult::Success;
    std::uint32_t percentage = 0;
    std::wstring text;
    std::thread::id thread;
};

// Collects completions of setting requests, in the order they arrive. The
// callbacks share the collection, so a late completion never outlives it.
class Completions {
  public:
    ResultCallback result();
    VersionCallback version();
    ProgressCallback progress();
    bool waitForCount(std::size_t count, std::chrono::milliseconds patience = kPatience);
    // Waits for a progress of `percentage` or for any failure.
    bool waitUntilLast(std::uint32_t percentage, std::chrono::milliseconds patience = kPatience);
    std::vector<Completion> all();

  private:
    struct Shared {
        std::mutex lock;
        std::condition_variable changed;
        std::vector<Completion> received;  // guarded by lock
        void add(Completion completion);
    };
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
};

class SimulatedArmband : public ::testing::Test {
  protected:
    // Makes the simulation, inits the hub and registers the listener.
    void start(const Options& options = fastOptions());
    void TearDown() override;

    // Scans until the armband is found and the scan finished; stops the scan
    // from inside onDeviceFound, as the server does.
    DevicePtr findArmband();
    // Finds and connects the armband; the setting object of the connection.
    std::shared_ptr<DeviceSetting> connectArmband();
    // Lets every callback that was due within `span` from now run, then returns:
    // what a correct armband never sends has had its chance to show.
    void letDueCallbacksRun(std::chrono::milliseconds span = std::chrono::milliseconds(60));
    // Sets the streams and waits for the armband to accept them.
    void switchStreams(std::uint32_t flags);
    void configureRaw(std::uint8_t mask);

    Simulation simulation;
    std::shared_ptr<RecordingListener> listener = std::make_shared<RecordingListener>();
    DevicePtr armband;
};

}  // namespace tessel::sim::testing
