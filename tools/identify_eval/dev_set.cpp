#include "tools/identify_eval/dev_set.h"

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/whole_file.h"

namespace identify_eval {
namespace {

constexpr std::size_t kLargestFile = 8u << 20;
constexpr std::size_t kDevWindow = 130;
constexpr const char* kGestureFiles[kDevGestures] = {
    "s1_g1_fist", "s1_g2_wrist_flexion", "s1_g3_wrist_extension", "s1_g4_radial_deviation",
    "s1_g5_ulnar_deviation"};

bool readRecording(const std::string& stem, DevRecording& recording, std::string& error) {
    recording.path = stem + ".u8";
    if (readWholeFile(recording.path, kLargestFile, recording.bytes) != FileRead::Read ||
        readWholeFile(stem + ".lbl", kLargestFile, recording.labels) != FileRead::Read ||
        readWholeFile(stem + ".cls", kLargestFile, recording.classes) != FileRead::Read) {
        error = stem + ".u8, .lbl or .cls cannot be read";
        return false;
    }
    if (recording.bytes.size() != recording.labels.size() * kDevChannels ||
        recording.classes.size() != recording.labels.size()) {
        error = stem + ": the frame counts of .u8, .lbl and .cls disagree";
        return false;
    }
    return true;
}

}  // namespace

const char* const kDevSetAttribution =
    "Derived from \"EMG data for gestures\" by N. Krilova, I. Kastalskiy, V. Kazantsev, "
    "V. A. Makarov and S. Lobov, UCI Machine Learning Repository (2018), "
    "https://doi.org/10.24432/C5ZP5C, licensed under CC BY 4.0 "
    "(https://creativecommons.org/licenses/by/4.0/). Related paper: Lobov et al., Sensors 2018, "
    "18(4):1122, doi:10.3390/s18041122. Changes: six subjects selected; resampled to 650 "
    "frames/s; rescaled to unsigned bytes; labels renumbered; series 1 cut into per-gesture "
    "files.";

std::vector<std::string> devPeople(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() == 3 && name[0] == 'p') {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool loadDevPerson(const std::string& folder, const std::string& name, DevPerson& person,
                   std::string& error) {
    person.name = name;
    const std::string base = folder + "/" + name + "/";
    for (int g = 0; g < kDevGestures; ++g) {
        if (!readRecording(base + kGestureFiles[g], person.gestures[static_cast<std::size_t>(g)],
                           error)) {
            return false;
        }
    }
    return readRecording(base + "s2_stream", person.stream, error);
}

LabelledStream devRecordingWindow(const DevRecording& recording, int seconds) {
    LabelledStream window;
    window.channels = kDevChannels;
    const std::size_t frames = static_cast<std::size_t>(seconds) * kFramesPerSecond;
    const std::size_t own = recording.frames();
    if (own == 0) {
        return window;
    }
    // The quietest 40 % of the windows that are not labelled are rest.
    std::vector<std::pair<float, std::size_t>> quiet;
    for (std::size_t start = 0; start + kDevWindow <= own; start += kDevWindow) {
        if (recording.labels[start + kDevWindow / 2] != 0) {
            continue;
        }
        float level = 0.0f;
        for (std::size_t c = 0; c < kDevChannels; ++c) {
            std::int32_t sum = 0;
            for (std::size_t t = 0; t < kDevWindow; ++t) {
                sum += recording.bytes[(start + t) * kDevChannels + c];
            }
            const float mean = static_cast<float>(sum) / kDevWindow;
            for (std::size_t t = 0; t < kDevWindow; ++t) {
                level += std::fabs(recording.bytes[(start + t) * kDevChannels + c] - mean);
            }
        }
        quiet.emplace_back(level, start);
    }
    std::sort(quiet.begin(), quiet.end());
    std::vector<std::uint8_t> truth(own, kUnscored);
    for (std::size_t f = 0; f < own; ++f) {
        if (recording.labels[f] != 0) {
            truth[f] = recording.labels[f];
        }
    }
    for (std::size_t k = 0; k < quiet.size() * 2 / 5; ++k) {
        std::fill_n(truth.begin() + static_cast<std::ptrdiff_t>(quiet[k].second), kDevWindow, 0);
    }
    for (std::size_t f = 0; f < frames; ++f) {
        const std::size_t at = f % own;
        window.bytes.insert(
            window.bytes.end(),
            recording.bytes.begin() + static_cast<std::ptrdiff_t>(at * kDevChannels),
            recording.bytes.begin() + static_cast<std::ptrdiff_t>((at + 1) * kDevChannels));
        window.truth.push_back(truth[at]);
    }
    return window;
}

LabelledStream devTestStream(const DevRecording& stream, const std::vector<int>& gestures) {
    LabelledStream test;
    test.channels = kDevChannels;
    test.bytes = stream.bytes;
    const auto trained = [&gestures](int g) {
        return std::find(gestures.begin(), gestures.end(), g) != gestures.end();
    };
    for (std::size_t f = 0; f < stream.frames(); ++f) {
        const int label = stream.labels[f];
        if (label != 0 && trained(label)) {
            test.truth.push_back(static_cast<std::uint8_t>(label));
        } else if (label == 0 && stream.classes[f] == 1) {
            test.truth.push_back(0);
        } else {
            test.truth.push_back(kUnscored);
        }
        const int before = f == 0 ? 0 : stream.labels[f - 1];
        if (label != before) {
            if (before != 0 && trained(before)) {
                test.events.push_back({StreamEvent::release, f, 0});
            }
            if (label != 0 && trained(label)) {
                test.events.push_back({StreamEvent::onset, f, static_cast<std::uint8_t>(label)});
            }
        }
    }
    return test;
}

}  // namespace identify_eval
