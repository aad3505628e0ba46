// Measuring identification live, through a real server binary and its
// simulated armband replaying the development set: the person's first-series
// files are recorded as 30 s windows, the server trains on them, and the
// second series is identified while the armband replays it. The answers are
// placed on the stream from the server's own log: the moment the raw stream
// was switched on, and the moment of every gesture report.
//
// One thread; it starts and ends the server processes itself.
#pragma once

#include <string>
#include <vector>

#include "tools/identify_eval/dev_set.h"
#include "tools/identify_eval/evaluation.h"

namespace identify_eval {

struct LiveRun {
    std::string server;     // the server binary
    std::string directory;  // its working directory: the recordings stay there
    double recordSpeed = 10.0;
    double identifySpeed = 2.0;
};

// Records every first-series file of the person as the gesture of its number,
// one 30 s window each, into run.directory.
bool recordLive(const LiveRun& run, const DevPerson& person, std::string& error);

// Trains the server on the recordings of `gestures` and identifies the
// person's second series in `mode` ("exact" or "calibrated"); the answers at
// the frames of the stream where the server gave them.
bool identifyLive(const LiveRun& run, const DevPerson& person, const std::vector<int>& gestures,
                  const std::string& mode, Answers& answers, std::string& error);

}  // namespace identify_eval
