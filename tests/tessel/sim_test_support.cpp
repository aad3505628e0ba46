#include "sim_test_support.h"

#include <algorithm>
#include <bit>

namespace tessel::sim::testing {

void RecordingListener::record(Event event) {
    if (inside.fetch_add(1) != 0) {
        overlap.store(true);
    }
    event.thread = std::this_thread::get_id();
    event.at = std::chrono::steady_clock::now();
    std::function<void(const Event&)> react;
    {
        std::lock_guard<std::mutex> guard(lock);
        recorded.push_back(event);
        react = reaction;
    }
    changed.notify_all();
    if (react) {
        react(event);
    }
    inside.fetch_sub(1);
}

namespace {

Event makeEvent(const char* name, std::int64_t value = 0, DevicePtr device = nullptr,
                RawPacket packet = nullptr) {
    Event event;
    event.name = name;
    event.value = value;
    event.device = std::move(device);
    event.packet = std::move(packet);
    return event;
}

Completion makeCompletion(ResponseResult result, std::uint32_t percentage = 0,
                          std::wstring text = {}) {
    Completion completion;
    completion.result = result;
    completion.percentage = percentage;
    completion.text = std::move(text);
    return completion;
}

}  // namespace

void RecordingListener::onScanFinished() {
    record(makeEvent("ScanFinished"));
}
void RecordingListener::onStateChanged(std::int32_t state) {
    record(makeEvent("StateChanged", state));
}
void RecordingListener::onDeviceFound(DevicePtr device) {
    record(makeEvent("DeviceFound", 0, device));
}
void RecordingListener::onDeviceConnectFailed(DevicePtr device) {
    record(makeEvent("DeviceConnectFailed", 0, device));
}
void RecordingListener::onDeviceConnected(DevicePtr device) {
    record(makeEvent("DeviceConnected", 0, device));
}
void RecordingListener::onDeviceDisconnected(DevicePtr device, std::uint8_t reason) {
    record(makeEvent("DeviceDisconnected", reason, device));
}
void RecordingListener::onGestureData(DevicePtr device, std::uint8_t gesture) {
    record(makeEvent("GestureData", gesture, device));
}
void RecordingListener::onDeviceStatusChanged(DevicePtr device, std::uint8_t status) {
    record(makeEvent("DeviceStatusChanged", status, device));
}
void RecordingListener::onDeviceData(DevicePtr device, std::uint32_t dataType, RawPacket data) {
    record(makeEvent("DeviceData", dataType, device, data));
}

void RecordingListener::setReaction(std::function<void(const Event&)> react) {
    std::lock_guard<std::mutex> guard(lock);
    reaction = std::move(react);
}

bool RecordingListener::waitUntil(const std::function<bool(const std::vector<Event>&)>& holds,
                                  std::chrono::milliseconds patience) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, patience, [&] { return holds(recorded); });
}

bool RecordingListener::waitForCount(const std::string& name, std::size_t wanted,
                                     std::chrono::milliseconds patience) {
    return waitUntil(
        [&](const std::vector<Event>& events) {
            return static_cast<std::size_t>(std::count_if(
                       events.begin(), events.end(),
                       [&](const Event& event) { return event.name == name; })) >= wanted;
        },
        patience);
}

std::vector<Event> RecordingListener::events() {
    std::lock_guard<std::mutex> guard(lock);
    return recorded;
}

std::vector<std::string> RecordingListener::names() {
    std::vector<std::string> out;
    for (const Event& event : events()) {
        if (event.name != "DeviceData") {
            out.push_back(event.name);
        }
    }
    return out;
}

std::size_t RecordingListener::count(const std::string& name) {
    const auto all = events();
    return static_cast<std::size_t>(std::count_if(
        all.begin(), all.end(), [&](const Event& event) { return event.name == name; }));
}

std::vector<RawPacket> RecordingListener::packets() {
    std::vector<RawPacket> out;
    for (const Event& event : events()) {
        if (event.name == "DeviceData") {
            out.push_back(event.packet);
        }
    }
    return out;
}

Options fastOptions(std::uint32_t seed, double streamSpeed) {
    Options options;
    options.seed = seed;
    options.delayScale = 0.01;
    options.streamSpeed = streamSpeed;
    options.controlPort = kNoControlPort;
    return options;
}

void Completions::Shared::add(Completion completion) {
    completion.thread = std::this_thread::get_id();
    {
        std::lock_guard<std::mutex> guard(lock);
        received.push_back(std::move(completion));
    }
    changed.notify_all();
}

ResultCallback Completions::result() {
    return [shared = shared](ResponseResult result) { shared->add(makeCompletion(result)); };
}

VersionCallback Completions::version() {
    return [shared = shared](ResponseResult result, const std::wstring& text) {
        shared->add(makeCompletion(result, 0, text));
    };
}

ProgressCallback Completions::progress() {
    return [shared = shared](ResponseResult result, std::uint32_t percentage) {
        shared->add(makeCompletion(result, percentage));
    };
}

bool Completions::waitForCount(std::size_t wanted, std::chrono::milliseconds patience) {
    std::unique_lock<std::mutex> guard(shared->lock);
    return shared->changed.wait_for(guard, patience,
                                    [&] { return shared->received.size() >= wanted; });
}

bool Completions::waitUntilLast(std::uint32_t percentage, std::chrono::milliseconds patience) {
    std::unique_lock<std::mutex> guard(shared->lock);
    return shared->changed.wait_for(guard, patience, [&] {
        return !shared->received.empty() &&
               (shared->received.back().percentage == percentage ||
                shared->received.back().result != ResponseResult::Success);
    });
}

std::vector<Completion> Completions::all() {
    std::lock_guard<std::mutex> guard(shared->lock);
    return shared->received;
}

void SimulatedArmband::start(const Options& options) {
    simulation = makeSimulation(options);
    ASSERT_EQ(simulation.hub->init(0), 0);
    ASSERT_EQ(simulation.hub->registerListener(listener), 0);
}

void SimulatedArmband::TearDown() {
    if (simulation.hub) {
        simulation.hub->deinit();
    }
}

DevicePtr SimulatedArmband::findArmband() {
    const auto hub = simulation.hub;
    listener->setReaction([hub](const Event& event) {
        if (event.name == "DeviceFound") {
            hub->stopScan();
        }
    });
    const std::size_t finishedBefore = listener->count("ScanFinished");
    EXPECT_EQ(hub->startScan(0xD0), 0);
    EXPECT_TRUE(listener->waitForCount("ScanFinished", finishedBefore + 1));
    listener->setReaction(nullptr);
    for (const Event& event : listener->events()) {
        if (event.name == "DeviceFound") {
            armband = event.device;
        }
    }
    return armband;
}

std::shared_ptr<DeviceSetting> SimulatedArmband::connectArmband() {
    if (!findArmband()) {
        ADD_FAILURE() << "no armband found";
        return nullptr;
    }
    const std::size_t before = listener->count("DeviceConnected");
    EXPECT_EQ(armband->connect(1), 0);
    EXPECT_TRUE(listener->waitForCount("DeviceConnected", before + 1));
    return armband->getSetting();
}

void SimulatedArmband::letDueCallbacksRun(std::chrono::milliseconds span) {
    // A task due earlier than the marker runs before it: the loop orders by due time.
    std::this_thread::sleep_for(span);
    constexpr std::int32_t kMarker = 0x5EED;
    const auto markers = [&] {
        std::size_t n = 0;
        for (const Event& event : listener->events()) {
            n += event.name == "StateChanged" && event.value == kMarker;
        }
        return n;
    };
    const std::size_t before = markers();
    ASSERT_TRUE(simulation.controller->hubState(kMarker));
    ASSERT_TRUE(listener->waitUntil([&](const std::vector<Event>& events) {
        std::size_t n = 0;
        for (const Event& event : events) {
            n += event.name == "StateChanged" && event.value == kMarker;
        }
        return n > before;
    }));
}

void SimulatedArmband::switchStreams(std::uint32_t flags) {
    Completions done;
    armband->getSetting()->setDataNotifySwitch(flags, done.result());
    ASSERT_TRUE(done.waitForCount(1));
    ASSERT_EQ(done.all()[0].result, ResponseResult::Success);
}

void SimulatedArmband::configureRaw(std::uint8_t mask) {
    Completions done;
    const auto channels = static_cast<std::uint8_t>(std::popcount(mask));
    armband->getSetting()->setEmgRawDataConfig(650, mask, static_cast<std::uint8_t>(channels * 16),
                                               8, done.result());
    ASSERT_TRUE(done.waitForCount(1));
    ASSERT_EQ(done.all()[0].result, ResponseResult::Success);
}

}  // namespace tessel::sim::testing
