// Whether "W&B.txt" can be used for identification, and the windows it is
// fed with.
//
// A usable model has at most 28 lines (the pair table) and at most 9 numbers per
// line (8 channel weights and the bias), and as many channel weights as the
// windows being cut have channels. Anything else would overrun the classifier's
// state or classify frames of the wrong size.
#pragma once

#include <cstdint>

#include "signal/identify_mode.h"
#include "store/model_shape.h"

// Samples per channel in one identification window.
inline constexpr std::uint32_t kIdentifyWindowFrames = 130;

// Samples per channel from one window to the next in calibrated mode.
inline constexpr std::uint32_t kCalibratedStepFrames = 16;

// Bytes from the start of one window to the next for a run in `mode`: 0 (half
// a window, as the exact mode has always cut them) or 16 frames in calibrated
// mode.
std::uint32_t identifyWindowStepFor(std::uint32_t windowLength, IdentifyMode mode);

// The window length for a model of this shape: (valuesPerRow - 1) x 130.
std::uint32_t identifyWindowLengthFor(const ModelShape& shape);

// True when a model of this shape fits windows of windowChannels channels.
// Otherwise logs why, naming the caller, and returns false.
bool identifyModelFits(const ModelShape& shape, std::uint32_t windowChannels, const char* caller);

// For START_IDENTIFY: checks "W&B.txt" into a shape of its own and returns true,
// with shape filled, only when the file is well formed and fits channelCount
// channels; a refusal is logged and leaves shape untouched.
bool checkIdentifyModel(ModelShape& shape, std::uint8_t channelCount);

// For START_IDENTIFY: true when the model was trained on exactly the gestures
// of gestureMask ("W&B.gestures", model_gestures.h) and holds one line per pair
// of them, so that the classes it reports are named by the right gestures.
// Otherwise logs why and returns false.
bool modelTrainedOnGestures(const ModelShape& shape, std::uint8_t gestureMask);

// For START_IDENTIFY in calibrated mode: true when "recogniser.txt" was
// trained with the current "W&B.txt", on channelCount channels and the
// gestures of gestureMask. Otherwise logs why and returns false.
bool recogniserFitsModel(std::uint8_t channelCount, std::uint8_t gestureMask);
