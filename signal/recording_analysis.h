// What training makes of one raw recording, window by window: the energy of
// each 130-frame analysis window, what the activity detector decided for it,
// and the samples of the windows it keeps (feature extraction, for "W&B.txt");
// and the recogniser's windows with their roles (rest, gesture or transition).
// The inventory and the evaluation both read recordings through this, so they
// count exactly the windows that training would use.
//
// Plain functions, no shared state: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "signal/feature_extraction.h"
#include "signal/recogniser.h"

struct RecordingAnalysis {
    std::size_t channels = 0;
    std::size_t frames = 0;                  // whole frames of `channels` bytes
    std::size_t windows = 0;                 // whole analysis windows
    std::vector<float> energy;               // per window
    std::vector<WindowActivity> activity;    // per window
    std::vector<std::size_t> activeWindows;  // the windows kept as samples, in order
    // `channels` values per kept window, as the feature file gives them back
    std::vector<float> features;
    WindowFeatures recogniser;  // the recogniser's windows and their roles
    // Mean energy of the kept windows and of the quiet ones (0 when there are none).
    float activeEnergy = 0.0f;
    float quietEnergy = 0.0f;
    std::size_t quietWindows = 0;
    // Mean over the quiet windows of the channels' mean absolute value, in ADC
    // counts: how much the muscles still showed while the detector saw rest.
    float quietLevel = 0.0f;
};

// Analyses `length` bytes of frames of `channels` bytes (1 to 8; any other
// count gives an empty analysis).
RecordingAnalysis analyseRecording(const std::uint8_t* data, std::size_t length,
                                   std::size_t channels);

// What the detector found, as a person would put it. The kept windows must
// carry several times the energy of the quiet ones; when they do not, the
// recording was all rest, or, when even its quiet windows move several ADC
// counts, all holding.
enum class ActivityFinding {
    clear,       // holds and rests told apart
    noActivity,  // hardly any difference: the wearer seems to have rested throughout
    noRest,      // no rest between holds
    tooShort,    // fewer than three analysis windows
};
ActivityFinding judgeActivity(const RecordingAnalysis& analysis);
// "clear", "noActivity", "noRest" or "tooShort".
const char* activityFindingName(ActivityFinding finding);
