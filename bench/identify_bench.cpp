// Identification speed: classifying one window, cutting packets into windows,
// and the whole path from a raw packet to the report that leaves for clients.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/training_recordings.h"
#include "server/device/acquisition_state.h"
#include "server/identify/identify_worker.h"
#include "server/net/client_registry.h"
#include "signal/classifier.h"
#include "signal/identifier.h"
#include "signal/identify_window_cutter.h"
#include "signal/recogniser.h"
#include "store/identify_model_check.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int kChannels = 8;
constexpr int kGestures = 8;
constexpr std::size_t kWindowBytes = kChannels * kWindowFrames;
constexpr std::size_t kPacketBytes = kChannels * 16;

// Deterministic noise, so every run classifies the same windows.
class Lcg {
  public:
    std::uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    float unit() { return static_cast<float>(next() % 20001u) / 10000.0f - 1.0f; }

  private:
    std::uint32_t state = 12345u;
};

// Raw EMG of a strong contraction: every channel swings widely around its
// resting level, so the summed activity's variance stays far above 200.
Bytes loudStream(std::size_t bytes) {
    Lcg random;
    Bytes stream(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        const int swing = static_cast<int>(random.next() % 161u) - 80;
        stream[i] = static_cast<std::uint8_t>(124 + swing);
    }
    return stream;
}

PairTable randomTable() {
    Lcg random;
    PairTable table{};
    for (PairRow& row : table) {
        for (float& value : row) {
            value = random.unit();
        }
    }
    return table;
}

std::string modelText() {
    Lcg random;
    std::string text;
    char number[32];
    for (int line = 0; line < kGestures * (kGestures - 1) / 2; ++line) {
        for (int n = 0; n <= kChannels; ++n) {
            std::snprintf(number, sizeof number, n < kChannels ? "%f " : "%f\n",
                          static_cast<double>(random.unit()));
            text += number;
        }
    }
    return text;
}

void BM_ClassifyWindowWhileMoving(benchmark::State& state) {
    const Bytes stream = loudStream(64 * kWindowBytes);
    std::vector<std::span<const std::uint8_t>> windows;
    for (std::size_t start = 0; start + kWindowBytes <= stream.size(); start += kWindowBytes / 2) {
        windows.emplace_back(stream.data() + start, kWindowBytes);
    }
    const PairTable table = randomTable();
    Identifier identifier;
    identifier.reset(kChannels, kGestures);
    classifyWindow(windows[0], identifier, table);
    classifyWindow(windows[1], identifier, table);
    if (identifier.idle) {
        state.SkipWithError("the stream did not start a movement");
        return;
    }
    std::size_t next = 2;
    for (auto _ : state) {
        benchmark::DoNotOptimize(classifyWindow(windows[next], identifier, table));
        next = next + 1 < windows.size() ? next + 1 : 0;
    }
    if (identifier.idle) {
        state.SkipWithError("the movement ended while measuring");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ClassifyWindowWhileMoving);

void BM_ClassifyWindowAtRest(benchmark::State& state) {
    const Bytes rest(kWindowBytes, 124);
    const PairTable table = randomTable();
    Identifier identifier;
    identifier.reset(kChannels, kGestures);
    classifyWindow(rest, identifier, table);
    for (auto _ : state) {
        benchmark::DoNotOptimize(classifyWindow(rest, identifier, table));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ClassifyWindowAtRest);

// The calibrated mode's recogniser, trained on 8 gestures x 30 s of 8
// channels, classifying the windows of another recording, one every 16
// frames (the hop is 24.6 ms): the time of one window against that hop.
void BM_RecogniseWindow(benchmark::State& state) {
    RecogniserTraining training;
    for (int g = 1; g <= kGestures; ++g) {
        const Bytes recording = realisticRecording(g, kChannels, 1, 11);
        training.add(recordingWindowFeatures(recording.data(), recording.size(), kChannels), g);
    }
    RecogniserModel model;
    if (!training.train(kChannels, kGestures, model)) {
        state.SkipWithError("the recogniser could not be trained");
        return;
    }
    const Bytes stream = realisticRecording(3, kChannels, 1, 12);
    std::vector<std::span<const std::uint8_t>> windows;
    for (std::size_t start = 0; start + kWindowBytes <= stream.size(); start += kChannels * 16) {
        windows.emplace_back(stream.data() + start, kWindowBytes);
    }
    Recogniser recogniser;
    recogniser.start(&model);
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(recogniser.classify(windows[next]));
        next = next + 1 < windows.size() ? next + 1 : 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RecogniseWindow);

void BM_CutPacket(benchmark::State& state) {
    const Bytes packet = loudStream(kPacketBytes);
    IdentifyWindowCutter cutter;
    cutter.reset(kWindowBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(cutter.cut(packet));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPacketBytes));
}
BENCHMARK(BM_CutPacket);

// Notes when each report reaches it.
class TimingClient : public ClientConnection {
  public:
    void send(ClientMessage) override {
        const Clock::time_point now = Clock::now();
        {
            std::lock_guard<std::mutex> guard(lock);
            arrivals.push_back(now);
        }
        arrived.notify_one();
    }

    Clock::time_point waitForReport(std::size_t count) {
        std::unique_lock<std::mutex> guard(lock);
        arrived.wait(guard, [&] { return arrivals.size() >= count; });
        return arrivals[count - 1];
    }

  private:
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<Clock::time_point> arrivals;  // guarded by lock
};

// Working directory with the model, and the log sent to /dev/null, for the
// benchmark's lifetime.
class QuietModelDirectory {
  public:
    QuietModelDirectory() : previous(std::filesystem::current_path()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillon-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        path = pattern;
        std::filesystem::current_path(path);
        if (std::FILE* file = std::fopen("W&B.txt", "w")) {
            std::fputs(modelText().c_str(), file);
            std::fclose(file);
        }
        std::fflush(stdout);
        savedStdout = dup(STDOUT_FILENO);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        close(devNull);
    }
    ~QuietModelDirectory() {
        std::fflush(stdout);
        if (savedStdout >= 0) {
            dup2(savedStdout, STDOUT_FILENO);
            close(savedStdout);
        }
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
        if (!path.empty()) {
            std::filesystem::remove_all(path, ignored);
        }
    }
    bool ready() const { return !path.empty(); }

  private:
    std::filesystem::path previous;
    std::filesystem::path path;
    int savedStdout = -1;
};

// One window per iteration: packets enter the cutter as the SDK callback
// would hand them; the window goes through identifyQueue to the identification
// thread, is classified and reported. Timed from the call that cuts the
// window to the report's arrival at a client. The last report is forgotten
// before each window, so every window is reported.
void BM_PacketToReport(benchmark::State& state) {
    QuietModelDirectory directory;
    if (!directory.ready()) {
        state.SkipWithError("no scratch directory");
        return;
    }
    auto client = std::make_shared<TimingClient>();
    ClientRegistry clientRegistry;
    clientRegistry.add(client);
    IdentifyWorker worker(clientRegistry);
    worker.loadModel(IdentifyRun{kWindowBytes / 130, IdentifyMode::exact, 0xFF});

    const Bytes stream = loudStream(4096 * kPacketBytes);
    std::size_t offset = 0;
    IdentifyWindowCutter cutter;
    cutter.reset(kWindowBytes);
    std::size_t reports = 0;
    std::vector<double> latencies;

    const auto oneWindow = [&]() {
        for (;;) {
            const std::span<const std::uint8_t> packet(stream.data() + offset, kPacketBytes);
            offset = offset + 2 * kPacketBytes <= stream.size() ? offset + kPacketBytes : 0;
            const Clock::time_point entered = Clock::now();
            if (EventRecord window = cutter.cut(packet)) {
                worker.resetLastIdentified();
                worker.push(std::move(window));
                const Clock::time_point reported = client->waitForReport(++reports);
                return std::chrono::duration<double>(reported - entered).count();
            }
        }
    };
    oneWindow();  // loads the model

    for (auto _ : state) {
        const double seconds = oneWindow();
        latencies.push_back(seconds);
        state.SetIterationTime(seconds);
    }

    worker.stop();
    clientRegistry.remove(client.get());

    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["p50_us"] = latencies[latencies.size() / 2] * 1e6;
        state.counters["p99_us"] = latencies[latencies.size() * 99 / 100] * 1e6;
        state.counters["max_us"] = latencies.back() * 1e6;
    }
}
BENCHMARK(BM_PacketToReport)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5000);

}  // namespace
