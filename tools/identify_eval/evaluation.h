// Evaluating live identification: train on recordings of each gesture (30 s
// windows, as the server records them), identify a stream recorded at another
// time, and score the exact mode, the calibrated mode and the yardstick (LDA
// on the four classic time-domain features, rest as a class) alike.
//
// Every method answers as the server would: windows are cut from 16-frame
// packets as they arrive, and an answer stands from the packet that completed
// its window until the next. Each scored frame of the stream is scored against
// the answer standing at it, so late answers cost what they cost a user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tessel/sim/wearer_profile.h"
#include "tools/identify_eval/dev_set.h"
#include "tools/identify_eval/eval_streams.h"

namespace identify_eval {

struct EvaluationOptions {
    std::vector<int> gestures{1, 2, 3, 4};
    int channels = 8;
    std::uint64_t seed = 1;
    // The simulated wearer's level on the day of identification over the day
    // of recording; 0 for the profile's own draw.
    float dayLevel = 0.0f;
    // Seconds the wearer already holds the first gesture when identification
    // starts (simulated wearers); 0 for none.
    float heldAtStart = 0.0f;
};

struct Score {
    float balancedAccuracy = 0.0f;  // mean recall over rest and every gesture
    float restAsNone = 0.0f;        // recall of rest
    // From an onset (a cue, or the start of a label) to the first frame at
    // which its gesture is reported; median and 90th percentile over the
    // onsets reported, in ms.
    float onsetMs = 0.0f;
    float onsetP90Ms = 0.0f;
    int onsetsReported = 0;
    int onsets = 0;
    // From a release to the first report of no gesture.
    float releaseMs = 0.0f;
    int releasesReported = 0;
    int releases = 0;
    // From the start of a direct switch to the first report of the new gesture.
    float switchMs = 0.0f;
    int switchesReported = 0;
    int switches = 0;
    // Changes of the report within 100 ms of the one before, over all changes.
    int quickChanges = 0;
    int changes = 0;
};

// An answer stands from `frame` until the next; gesture 0 is no gesture.
struct Answer {
    std::size_t frame = 0;
    int gesture = 0;
};
using Answers = std::vector<Answer>;

struct Evaluated {
    std::string name;
    float dayLevel = 1.0f;  // of the identification day over the recording day
    bool trained = false;   // every model could be trained
    Score exact;
    Score calibrated;
    Score yardstick;
    // The yardstick offline: each window against the truth at its centre.
    float yardstickOffline = 0.0f;
};

// recordings[k] is the recording of gestures[k].
Evaluated evaluateStreams(const std::string& name, const std::vector<LabelledStream>& recordings,
                          const LabelledStream& stream, const EvaluationOptions& options);

// A simulated wearer: recorded on day 1, identified on day 2.
Evaluated evaluateProfile(const tessel::sim::WearerProfile& profile,
                          const EvaluationOptions& options);

// A person of the development set: their first series, each file replayed
// into a 30 s window, trained on; their second series identified.
Evaluated evaluateDevPerson(const DevPerson& person, const EvaluationOptions& options);

// The score of answers on a stream (frames of truth kUnscored, and gestures
// other than `gestures`, are left out).
Score score(const LabelledStream& stream, const Answers& answers, const std::vector<int>& gestures);

}  // namespace identify_eval
