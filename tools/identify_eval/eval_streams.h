// Simulated EMG for evaluating identification: recordings to train on, and a
// stream from another day to identify, both made by the simulated armband's
// wearer, with the truth of every frame and the moments that delays count from.
#pragma once

#include <cstdint>
#include <vector>

#include "protocol/emg_rate.h"
#include "tessel/sim/wearer_profile.h"

namespace identify_eval {

inline constexpr int kFramesPerSecond = static_cast<int>(kEmgFramesPerSecond);
// A frame whose truth the score leaves out.
inline constexpr std::uint8_t kUnscored = 0xFF;

struct StreamEvent {
    enum Kind : std::uint8_t { onset, switchTo, release };
    Kind kind = onset;
    std::size_t frame = 0;     // the cue (or the start of a label) is here
    std::uint8_t gesture = 0;  // held from here on; 0 for a release
};

struct LabelledStream {
    int channels = 0;
    std::vector<std::uint8_t> bytes;  // frames of `channels` bytes
    std::vector<std::uint8_t> truth;  // per frame: the gesture made, 0 rest, or kUnscored
    std::vector<StreamEvent> events;  // in frame order

    std::size_t frames() const { return truth.size(); }
};

// 30 s (or `seconds`) of the wearer performing `gesture` again and again with
// rests between, as one recording window of the server holds it.
LabelledStream recordGesture(const tessel::sim::WearerProfile& profile, std::uint32_t day,
                             std::uint64_t seed, int gesture, int channels, int seconds = 30);

// The stream to identify: every gesture held 5 s with rests of 2.5 to 3.5 s
// between, then all of them held one straight after another (direct
// switches), then each held again in the reverse order. With heldSeconds, the
// wearer already holds the first gesture when the stream begins, for that
// long, and rests before the rest of it.
LabelledStream identificationStream(const tessel::sim::WearerProfile& profile, std::uint32_t day,
                                    std::uint64_t seed, const std::vector<int>& gestures,
                                    int channels, float heldSeconds = 0.0f);

}  // namespace identify_eval
