// Feature extraction: turns the raw recording of one gesture into training
// samples. A sample is the mean absolute value of every channel over one
// 130-frame window in which the wearer was active; an energy detector with a
// threshold taken from the recording itself, and a two-window hysteresis,
// picks those windows.
//
// Plain functions over plain arrays, no shared state: any thread may call
// them. All arithmetic is in 32-bit floats and every sum runs in increasing
// index order from 0, so the output is the same on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

inline constexpr std::size_t ANALYSIS_WINDOW = 130;  // frames per window
inline constexpr float kAnalysisWindowFrames = static_cast<float>(ANALYSIS_WINDOW);

// The samples of one recording. raw and centred are frames x channelCount,
// row-major (row = frame, one column per enabled channel).
struct FeatureMatrix {
    std::vector<std::int32_t> raw;  // 0..255
    std::vector<float> centred;     // raw minus the channel's mean
    std::size_t channelCount = 0;
    std::size_t frames = 0;
};

// The samples found, channelCount values per active window, window after
// window. Grows as needed: every active window is kept.
struct FeatureList {
    std::vector<float> values;
};

// Fills raw, channelCount and frames of matrix from length bytes of frames of
// channelCount bytes; a trailing incomplete frame is ignored, and channelCount
// 0 gives no frame. centred is left to removeChannelMeans.
void loadFeatureMatrix(const std::uint8_t* data, std::size_t length, std::size_t channelCount,
                       FeatureMatrix& matrix);

// Fills matrix.centred: every sample minus the mean of its channel over all frames.
void removeChannelMeans(FeatureMatrix& matrix);

// The per-frame activity signal: the mean of the frame's centred samples.
std::vector<float> activitySignal(const FeatureMatrix& matrix);

// The variance of one window's ANALYSIS_WINDOW values: their mean first, then
// the mean squared deviation from it, each sum in index order.
float windowVariance(const float* values);

// Energy of each of the first `windows` whole windows: the population variance
// of the activity signal over its 130 frames.
std::vector<float> windowEnergies(std::span<const float> activity, std::size_t windows);

// What the activity detector makes of each window, given every window's
// energy: the threshold is the mean energy; activity starts at two windows
// running above it and ends before two windows running below it.
enum class WindowActivity : std::uint8_t {
    quiet,       // no activity under way
    starting,    // starts an activity; not a sample
    active,      // a sample: activity under way, including the window that ends it
    unexamined,  // one of the last two windows, or fewer than three windows in all
};
std::vector<WindowActivity> windowActivity(std::span<const float> energy);

// Empties out and fills it with the samples of the active windows. activity
// holds one value per frame of matrix. Fewer than three whole windows give no
// sample.
void extractWindowFeatures(std::span<const float> activity, const FeatureMatrix& matrix,
                           FeatureList& out);

// Appends every value of list to fileName, each as "%f " (six decimals and a
// space, no line breaks). False when the file cannot be opened or a write fails.
bool appendFeatureFile(const std::string& fileName, const FeatureList& list);

// Everything extraction makes of one recording: its samples, every window's
// energy and what the activity detector decided for it. Training, the
// inventory, the evaluation and the evaluation tool all extract through this.
struct RecordingFeatures {
    FeatureMatrix matrix;  // raw and centred samples
    std::vector<float> energy;
    std::vector<WindowActivity> activity;
    FeatureList samples;  // of the active windows, as extractWindowFeatures gives them
};

// The features of length bytes of frames of channelCount bytes.
RecordingFeatures extractRecording(const std::uint8_t* data, std::size_t length,
                                   std::size_t channelCount);

// Appends the samples of the recording to "feature" + numberText + ".txt" in
// the working directory, each value as "%f ". Returns 0 when the file was
// written, 1 when it cannot be opened or a write fails. The file is opened
// (and so created) even when there is no sample, as with channelCount 0.
int featureExtraction(const char* numberText, const std::uint8_t* data, std::size_t length,
                      std::uint8_t channelCount);
