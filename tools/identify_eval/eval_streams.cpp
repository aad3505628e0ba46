#include "tools/identify_eval/eval_streams.h"

#include "tessel/sim/random.h"
#include "tessel/sim/wearer.h"

namespace identify_eval {
namespace {

using tessel::sim::Wearer;
using tessel::sim::WearerAction;

constexpr float kHoldSeconds = 5.0f;
constexpr float kShortestRest = 2.5f;
constexpr float kLongestRest = 3.5f;

class Recorder {
  public:
    Recorder(const tessel::sim::WearerProfile& profile, std::uint32_t day, std::uint64_t seed,
             WearerAction action, int channels)
        : wearer(seed) {
        wearer.setProfile(profile, day);
        // Once the profile is set: a hold begins with this wearer's contraction.
        wearer.restart(seed, action);
        stream.channels = channels;
        if (action.kind == WearerAction::Hold) {
            stream.events.push_back({StreamEvent::onset, 0, action.gesture});
        }
    }

    void run(std::size_t frames) {
        std::uint8_t samples[tessel::sim::kElectrodes];
        for (std::size_t i = 0; i < frames; ++i) {
            wearer.nextFrame(samples);
            stream.bytes.insert(stream.bytes.end(), samples, samples + stream.channels);
            stream.truth.push_back(wearer.gesture());
        }
    }

    // Delays count from the cue, whenever the wearer acts on it.
    void hold(int gesture) {
        const bool fromRest = wearer.action().kind == WearerAction::Rest;
        stream.events.push_back({fromRest ? StreamEvent::onset : StreamEvent::switchTo,
                                 stream.frames(), static_cast<std::uint8_t>(gesture)});
        wearer.setAction({WearerAction::Hold, static_cast<std::uint8_t>(gesture)});
    }

    void rest() {
        stream.events.push_back({StreamEvent::release, stream.frames(), 0});
        wearer.setAction({});
    }

    LabelledStream stream;

  private:
    Wearer wearer;
};

std::size_t seconds(float s) {
    return static_cast<std::size_t>(s * kFramesPerSecond);
}

}  // namespace

LabelledStream recordGesture(const tessel::sim::WearerProfile& profile, std::uint32_t day,
                             std::uint64_t seed, int gesture, int channels, int recordSeconds) {
    Recorder recorder(profile, day, seed,
                      {WearerAction::Perform, static_cast<std::uint8_t>(gesture)}, channels);
    recorder.run(seconds(static_cast<float>(recordSeconds)));
    return std::move(recorder.stream);
}

LabelledStream identificationStream(const tessel::sim::WearerProfile& profile, std::uint32_t day,
                                    std::uint64_t seed, const std::vector<int>& gestures,
                                    int channels, float heldSeconds) {
    WearerAction first;
    if (heldSeconds > 0.0f) {
        first = {WearerAction::Hold, static_cast<std::uint8_t>(gestures.front())};
    }
    Recorder recorder(profile, day, seed, first, channels);
    tessel::sim::Random timing(tessel::sim::mixSeed(seed, 0x5C));
    const auto pause = [&] { recorder.run(seconds(timing.uniform(kShortestRest, kLongestRest))); };
    if (heldSeconds > 0.0f) {
        recorder.run(seconds(heldSeconds));
        recorder.rest();
    }
    pause();
    for (const int gesture : gestures) {
        recorder.hold(gesture);
        recorder.run(seconds(kHoldSeconds));
        recorder.rest();
        pause();
    }
    for (const int gesture : gestures) {
        recorder.hold(gesture);
        recorder.run(seconds(kHoldSeconds));
    }
    recorder.rest();
    pause();
    for (auto gesture = gestures.rbegin(); gesture != gestures.rend(); ++gesture) {
        recorder.hold(*gesture);
        recorder.run(seconds(kHoldSeconds));
        recorder.rest();
        pause();
    }
    return std::move(recorder.stream);
}

}  // namespace identify_eval
