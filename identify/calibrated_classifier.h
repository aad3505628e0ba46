// The calibrated gesture classifier: movement detection with thresholds from
// the wearer's own calibration, classification from the first active window,
// and prompt release.
//
// Each window is the 130 frames last received, whole. Its activity is the
// variance of the per-frame sum of the channels (each centred on its mean over
// the window). Above the wearer's start threshold a movement begins and the
// window is classified at once by the pair classifiers' votes on the
// per-channel mean absolute values. While the movement lasts, another class
// takes over once it wins two windows running, so a switch from one held
// gesture to another is followed without a rest between. The movement ends
// when the activity falls below the end threshold, or far below the level it
// was held at; nothing decided in it carries over to the next. While at rest
// the thresholds follow the live rest level slowly, within a factor of two of
// the calibrated one.
//
// All arithmetic is in 32-bit floats, sums in increasing index order. Called
// only by the thread that owns the state.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "identify/calibration.h"
#include "identify/identifier.h"

struct CalibratedIdentifier {
    // Model load: D channels (1 to 8), G gestures (2 to 8) and the wearer's
    // calibration; everything else back to rest. Out-of-range counts leave
    // channels at 0, which classifyCalibratedWindow treats as "no model".
    void reset(int channelCount, int gesturesInModel, const Calibration& wearer);

    std::uint8_t channels = 0;  // D
    std::uint8_t gestures = 0;  // G
    Calibration calibration;
    float restLevel = 0.0f;  // the live rest level, starting at the calibrated one
    bool moving = false;
    float heldLevel = 0.0f;  // running level of the movement (log-averaged variance)
    // Set after a movement ended above the start threshold (on its fading tail):
    // a new one then needs the activity to rise again first.
    bool fading = false;
    float fadingFrom = 0.0f;
    std::int32_t movementWindows = 0;
    std::int32_t reported = 0;  // the class the movement stands at; 0 none
    std::int32_t candidate = 0;
    std::int32_t candidateWins = 0;
    float variance = 0.0f;                       // of the current window
    std::array<float, kMaxChannels> features{};  // of the current window
    float recentVariance = 0.0f;
    std::array<float, kMaxChannels> recentFeatures{};
};

// Classifies one window of D x 130 bytes. Returns 0 for no gesture, otherwise
// a class position 1 to G. A window shorter than D x 130 bytes, or a state
// that holds no model, gives 0 and changes nothing.
int classifyCalibratedWindow(std::span<const std::uint8_t> window, CalibratedIdentifier& state,
                             const PairTable& pairTable);
