// The Armband's life: threads, listeners, the hub thread's wait, and the
// helpers that queue callbacks.
#include "armband.h"

#include <algorithm>
#include <cstdio>

#include "control_protocol.h"
#include "sim_device.h"

namespace tessel::sim {
namespace {

// A wait longer than a day is cut to a day, so deadlines never overflow.
constexpr std::int64_t kLongestRunMs = 24LL * 3600 * 1000;

}  // namespace

std::shared_ptr<Armband> Armband::create(const Options& options) {
    auto armband = std::make_shared<Armband>(options);
    armband->self = armband;
    armband->device = std::make_shared<SimDevice>(armband);
    armband->settingObject = std::make_shared<SimSetting>(armband);
    return armband;
}

Armband::Armband(const Options& givenOptions)
    : options(givenOptions),
      timing(mixSeed(givenOptions.seed, kTimingStream)),
      seed(givenOptions.seed) {}

Armband::~Armband() {
    deinit();
}

int Armband::init() {
    MutexLock life(lifecycle);
    {
        MutexLock guard(lock);
        if (initialised) {
            return 0;
        }
        initialised = true;
        streamStopping = false;
        queuedPackets = 0;
    }
    loop.start();
    streamThread = std::thread([this] { streamLoop(); });
    startControlEndpoint();
    return 0;
}

int Armband::deinit() {
    MutexLock life(lifecycle);
    {
        MutexLock guard(lock);
        if (!initialised) {
            return 0;
        }
        initialised = false;
        streamStopping = true;
        connection = ConnectionState::Disconnected;
        ++linkEpoch;
        scanning = false;
        ++scanEpoch;
        setStreams(0);
        packageIdOpen = false;
    }
    runWake.notifyAll();
    streamWake.notifyAll();
    controlServer.stop();
    listeningPort.store(0);
    if (streamThread.joinable()) {
        streamThread.join();
    }
    loop.stop();
    return 0;
}

int Armband::run(std::int64_t milliseconds) {
    MutexLock guard(lock);
    if (!initialised) {
        return kRunNotInitialised;
    }
    const std::uint64_t before = loop.dispatched();
    const auto wait =
        std::chrono::milliseconds(std::clamp<std::int64_t>(milliseconds, 0, kLongestRunMs));
    const Clock::time_point until = Clock::now() + wait;
    while (initialised && runWake.waitUntil(lock, until)) {
    }
    if (!initialised) {
        return kRunNotInitialised;
    }
    return loop.dispatched() != before ? kRunOk : kRunTimeout;
}

int Armband::registerListener(std::weak_ptr<HubListener> listener) {
    if (listener.expired()) {
        return kRefused;
    }
    MutexLock guard(lock);
    const auto same = [&listener](const std::weak_ptr<HubListener>& known) {
        return !known.owner_before(listener) && !listener.owner_before(known);
    };
    if (std::none_of(listeners.begin(), listeners.end(), same)) {
        listeners.push_back(std::move(listener));
    }
    return 0;
}

int Armband::unregisterListener(std::weak_ptr<HubListener> listener) {
    MutexLock guard(lock);
    const auto same = [&listener](const std::weak_ptr<HubListener>& known) {
        return !known.owner_before(listener) && !listener.owner_before(known);
    };
    const auto found = std::find_if(listeners.begin(), listeners.end(), same);
    if (found == listeners.end()) {
        return kRefused;
    }
    listeners.erase(found);
    return 0;
}

int Armband::controlPort() {
    return listeningPort.load();
}

void Armband::startControlEndpoint() {
    if (options.controlPort == kNoControlPort) {
        return;
    }
    const int wanted = options.controlPort == kAnyFreeControlPort ? 0 : options.controlPort;
    std::string error = "not a port number";
    std::uint16_t port = 0;
    if (wanted >= 0 && wanted <= 65535) {
        port = controlServer.start(
            static_cast<std::uint16_t>(wanted),
            [this](std::string_view line) { return runControlCommand(*this, line); }, error);
    }
    if (port == 0) {
        std::fprintf(stderr,
                     "tessel: the wearer control cannot listen on 127.0.0.1:%d (%s); the "
                     "armband runs without it\n",
                     options.controlPort, error.c_str());
        return;
    }
    listeningPort.store(port);
}

Armband::Listeners Armband::liveListeners() {
    Listeners live;
    for (const auto& listener : listeners) {
        if (auto strong = listener.lock()) {
            live.push_back(std::move(strong));
        }
    }
    return live;
}

bool Armband::notifyListeners(Clock::time_point due, std::function<void(HubListener&)> call) {
    return loop.post(due, [this, call = std::move(call)] {
        Listeners live;
        {
            MutexLock guard(lock);
            live = liveListeners();
        }
        for (const auto& listener : live) {
            call(*listener);
        }
    });
}

Clock::time_point Armband::delayFromNow(int shortestMs, int longestMs) {
    const float ms = timing.uniform(static_cast<float>(shortestMs), static_cast<float>(longestMs));
    const double scaled = static_cast<double>(ms) * std::max(0.0, options.delayScale);
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double, std::milli>(scaled));
}

Clock::time_point Armband::nextCompletionTime() {
    // The armband answers one request at a time, so completions keep the order
    // of their requests.
    const Clock::time_point at = delayFromNow(15, 45);
    const Clock::duration spent = at - Clock::now();
    completionsFreeAt = std::max(completionsFreeAt, Clock::now()) + spent;
    return completionsFreeAt;
}

std::uint32_t& Armband::faultCounter(Operation operation, bool muteIt) {
    const auto index = static_cast<std::size_t>(operation);
    return muteIt ? muted[index] : failing[index];
}

Armband::Admission Armband::admit(std::optional<Operation> operation) {
    if (!initialised) {
        return Admission::Dropped;
    }
    if (connection != ConnectionState::Connected) {
        return Admission::NotConnected;
    }
    if (operation) {
        if (std::uint32_t& fails = faultCounter(*operation, false); fails > 0) {
            --fails;
            return Admission::Fail;
        }
        if (std::uint32_t& mutes = faultCounter(*operation, true); mutes > 0) {
            --mutes;
            return Admission::Mute;
        }
    }
    return Admission::Proceed;
}

ResponseResult Armband::failureOf(Admission admission) {
    return admission == Admission::NotConnected ? ResponseResult::Disconnected
                                                : ResponseResult::Failed;
}

void Armband::completeAt(Clock::time_point due, ResultCallback callback,
                         std::function<void()> onSuccess) {
    const std::uint64_t epoch = linkEpoch;
    loop.post(due, [this, epoch, callback = std::move(callback), onSuccess = std::move(onSuccess)] {
        ResponseResult result = ResponseResult::Disconnected;
        {
            MutexLock guard(lock);
            if (linkEpoch == epoch && connection == ConnectionState::Connected) {
                result = ResponseResult::Success;
                if (onSuccess) {
                    onSuccess();
                }
            }
        }
        if (callback) {
            callback(result);
        }
    });
}

void Armband::completeWith(ResponseResult result, ResultCallback callback) {
    loop.post(nextCompletionTime(), [result, callback = std::move(callback)] {
        if (callback) {
            callback(result);
        }
    });
}

}  // namespace tessel::sim
