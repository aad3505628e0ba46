// The development set of real recorded EMG (../shared/emg-dev in the
// developers' tree, or any folder of the same layout): per person one file per
// gesture from a first series and a continuous stream from a second series,
// 8 channels of unsigned bytes at 650 frames a second, with a label and the
// source's class for every frame.
//
// Derived from "EMG data for gestures" by N. Krilova, I. Kastalskiy,
// V. Kazantsev, V. A. Makarov and S. Lobov, UCI Machine Learning Repository
// (2018), https://doi.org/10.24432/C5ZP5C, licensed under CC BY 4.0
// (https://creativecommons.org/licenses/by/4.0/). Related paper: Lobov et al.,
// Sensors 2018, 18(4):1122, doi:10.3390/s18041122. Changes: six subjects
// selected; resampled to 650 frames/s; rescaled to unsigned bytes; labels
// renumbered; series 1 cut into per-gesture files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/identify_eval/eval_streams.h"

namespace identify_eval {

inline constexpr int kDevGestures = 5;
inline constexpr int kDevChannels = 8;

// The attribution to print wherever the set's results are shown.
extern const char* const kDevSetAttribution;

struct DevRecording {
    std::string path;  // of the .u8 file
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> labels;   // per frame: 0 rest, 1..5 gesture
    std::vector<std::uint8_t> classes;  // per frame: the source's class (1 = hand at rest)

    std::size_t frames() const { return labels.size(); }
};

struct DevPerson {
    std::string name;                                 // "p01"
    std::array<DevRecording, kDevGestures> gestures;  // series 1, gesture 1..5
    DevRecording stream;                              // series 2
};

// The people of the set in `folder` (its pNN subfolders), in name order.
std::vector<std::string> devPeople(const std::string& folder);

// Reads one person's files. False, with the reason in `error`, when a file is
// missing or its frame count disagrees with its labels.
bool loadDevPerson(const std::string& folder, const std::string& name, DevPerson& person,
                   std::string& error);

// A recording as the server keeps it after a 30 s window of the armband
// replaying the file: the file's frames again and again for `seconds`, with
// the truth the yardstick trains on: the labelled gesture, rest for the
// quietest 40 % of the windows between holds, unscored elsewhere.
LabelledStream devRecordingWindow(const DevRecording& recording, int seconds = 30);

// The second series as a stream to identify: per frame the truth the score
// counts (rest where the source marks the hand at rest, the labelled gestures
// among `gestures`, unscored elsewhere), onsets at the start of each labelled
// hold and releases at its end.
LabelledStream devTestStream(const DevRecording& stream, const std::vector<int>& gestures);

}  // namespace identify_eval
