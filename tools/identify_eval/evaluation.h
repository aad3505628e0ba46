// Evaluating live identification on a simulated wearer: train on 30 s
// recordings of each gesture from one day, identify a stream from another day,
// and score the exact mode, the calibrated mode and an LDA yardstick alike.
//
// Every method answers as the server would: windows are cut from 16-frame
// packets as they arrive, and an answer stands from the packet that completed
// its window until the next. Each frame of the stream is scored against the
// answer standing at it, so late answers cost what they cost a user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "identify/calibration.h"
#include "tessel/sim/wearer_profile.h"

namespace identify_eval {

struct EvaluationOptions {
    std::vector<int> gestures{1, 2, 3, 4};
    int channels = 8;
    std::uint64_t seed = 1;
    // Frames from one calibrated window to the next.
    std::uint32_t calibratedStep = 16;
};

struct Score {
    float balancedAccuracy = 0.0f;  // mean recall over rest and every gesture
    float restAsNone = 0.0f;        // recall of rest
    // From the start of a contraction out of rest to the first report of its
    // gesture; the median over the onsets reported, in ms.
    float onsetMs = 0.0f;
    int onsetsReported = 0;
    int onsets = 0;
    // From the start of a relaxation to the first report of no gesture.
    float releaseMs = 0.0f;
    int releasesReported = 0;
    int releases = 0;
    // From the start of a direct switch to the first report of the new gesture.
    float switchMs = 0.0f;
    int switchesReported = 0;
    int switches = 0;
};

struct ProfileEvaluation {
    std::string profile;
    bool trained = false;  // the model and the calibration could be made
    Calibration calibration;
    Score exact;
    Score calibrated;
    Score lda;
    // The yardstick offline: each window against the truth at its centre.
    float ldaOfflineAccuracy = 0.0f;
};

ProfileEvaluation evaluateProfile(const tessel::sim::WearerProfile& profile,
                                  const EvaluationOptions& options);

}  // namespace identify_eval
