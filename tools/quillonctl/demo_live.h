// The live part of `quillonctl demo`: with identification running on the
// server, the virtual wearer rests a moment, then holds each gesture in turn
// and rests after each, while the server's reports are collected with the
// times at which the wearer changed what they did.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "tools/quillonctl/agreement.h"
#include "tools/quillonctl/command_support.h"

class WearerLink;

struct LivePlan {
    std::vector<std::uint8_t> gestures;  // held in this order, 1 to 8
    // A rest before the first hold that is not measured: the server loads the
    // model and fills its first window meanwhile.
    std::chrono::milliseconds settle{2000};
    std::chrono::milliseconds hold{6000};
    std::chrono::milliseconds rest{3000};
    // The lengths above are of EMG; a sped-up armband plays them this many
    // times faster.
    double speed = 1.0;
};

struct LiveRun {
    std::vector<WearerPhase> phases;     // the measured holds and rests
    std::vector<GestureReport> reports;  // every report, the settling time's too
};

// Identification must be running. Returns kExitOk once the plan has run, or
// the status of a failure whose reason it has printed (kExitInterrupted after
// Ctrl+C); it leaves identification running either way.
int runLivePlan(Session& session, WearerLink& wearer, const LivePlan& plan, LiveRun& run);
