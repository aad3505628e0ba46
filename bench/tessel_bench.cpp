// How much headroom the simulated armband has over the real-time stream
// (650 frames, about 41 packets, per second).
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>

#include "tessel/sim/callback_loop.h"
#include "tessel/sim/model_image.h"
#include "tessel/sim/wearer.h"
#include "tessel/simulator.h"

namespace {

using namespace tessel;
using namespace tessel::sim;

// One frame of eight electrodes while the wearer performs a gesture.
void BM_WearerFrame(benchmark::State& state) {
    Wearer wearer(1, {WearerAction::Perform, 1});
    std::uint8_t samples[kElectrodes];
    for (auto _ : state) {
        wearer.nextFrame(samples);
        benchmark::DoNotOptimize(samples);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WearerFrame);

void BM_ModelImageCheck(benchmark::State& state) {
    std::vector<std::uint8_t> image(48 + 1008, 0);
    image[0] = 0xFF;
    image[1] = 8;
    image[2] = 1008 & 0xFF;
    image[3] = 1008 >> 8;
    for (auto _ : state) {
        benchmark::DoNotOptimize(isValidModelImage(image.data(), image.size()));
    }
}
BENCHMARK(BM_ModelImageCheck);

// A task posted from one thread and run on the SDK callback thread.
void BM_CallbackLoopPostToRun(benchmark::State& state) {
    CallbackLoop loop;
    loop.start();
    std::mutex lock;
    std::condition_variable ran;
    std::uint64_t done = 0;
    std::uint64_t posted = 0;
    for (auto _ : state) {
        ++posted;
        loop.post(Clock::now(), [&] {
            std::lock_guard<std::mutex> guard(lock);
            ++done;
            ran.notify_one();
        });
        std::unique_lock<std::mutex> guard(lock);
        ran.wait(guard, [&] { return done == posted; });
    }
    loop.stop();
}
BENCHMARK(BM_CallbackLoopPostToRun)->UseRealTime();

class CountingListener : public HubListener {
  public:
    void onDeviceConnected(DevicePtr device) override {
        std::lock_guard<std::mutex> guard(lock);
        armband = device;
        changed.notify_all();
    }
    void onDeviceFound(DevicePtr device) override {
        std::lock_guard<std::mutex> guard(lock);
        found = device;
        changed.notify_all();
    }
    void onDeviceData(DevicePtr, std::uint32_t, RawPacket packet) override {
        std::lock_guard<std::mutex> guard(lock);
        bytes += packet->size();
        ++packets;
        changed.notify_all();
    }
    std::mutex lock;
    std::condition_variable changed;
    DevicePtr found;
    DevicePtr armband;
    std::uint64_t packets = 0;  // guarded by lock
    std::uint64_t bytes = 0;    // guarded by lock
};

// Raw packets delivered per second of wall time with the stream running
// `speed` times faster than real time: the stream's ceiling on this machine.
void BM_RawStreamDelivery(benchmark::State& state) {
    Options options;
    options.delayScale = 0.0;
    options.streamSpeed = static_cast<double>(state.range(0));
    options.controlPort = kNoControlPort;
    Simulation simulation = makeSimulation(options);
    auto listener = std::make_shared<CountingListener>();
    simulation.hub->init(0);
    simulation.hub->registerListener(listener);
    simulation.hub->startScan(0xD0);
    DevicePtr armband;
    {
        std::unique_lock<std::mutex> guard(listener->lock);
        listener->changed.wait(guard, [&] { return listener->found != nullptr; });
        armband = listener->found;
    }
    armband->connect(1);
    {
        std::unique_lock<std::mutex> guard(listener->lock);
        listener->changed.wait(guard, [&] { return listener->armband != nullptr; });
    }
    armband->getSetting()->setDataNotifySwitch(kNotifyEmgRaw, nullptr);
    std::uint64_t target = 0;
    {
        std::lock_guard<std::mutex> guard(listener->lock);
        target = listener->packets;
    }
    for (auto _ : state) {
        target += 64;
        std::unique_lock<std::mutex> guard(listener->lock);
        listener->changed.wait(guard, [&] { return listener->packets >= target; });
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 64);
    state.counters["dropped"] = static_cast<double>(simulation.controller->status().droppedPackets);
    simulation.hub->deinit();
}
BENCHMARK(BM_RawStreamDelivery)
    ->Arg(1)
    ->Arg(100)
    ->Arg(1000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
