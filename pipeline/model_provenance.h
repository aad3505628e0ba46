// What "W&B.txt" was trained on, kept beside it in "W&B.provenance": the
// configuration (channel and gesture masks), every trained gesture's raw file
// as training read it (its size, its time of change and the windows of its
// window log) and a fingerprint of the model file it describes, so that the
// two files are known to belong to one training. A model is current while
// all of that still holds; otherwise the reasons say in words what changed.
// Main thread: it reads and writes the working directory's files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/gesture_name_file.h"
#include "store/window_log.h"

inline constexpr const char* kModelProvenanceFileName = "W&B.provenance";

struct TrainedRecording {
    int gesture = 0;
    std::uint64_t bytes = 0;
    std::int64_t modifiedTime = 0;                       // seconds since 1970
    std::optional<std::vector<RecordedWindow>> windows;  // nothing: unknown
};

struct ModelProvenance {
    std::uint8_t channelMask = 0;
    std::uint8_t gestureMask = 0;
    std::uint64_t modelFingerprint = 0;
    // In gesture order; a gesture without a raw file has no entry.
    std::vector<TrainedRecording> recordings;
};

// FNV-1a over the bytes of "W&B.txt"; 0 when there is none to read.
std::uint64_t modelFileFingerprint();

// The configuration given and the raw files of its gestures as they are now,
// with the fingerprint of "W&B.txt" as it is now (0 without one).
ModelProvenance describeModelSources(std::uint8_t channelMask, std::uint8_t gestureMask);

// Replaces the file, whole or not at all; false, with a log line that says
// why, when it cannot be written.
bool saveModelProvenance(const ModelProvenance& provenance);
// Nothing when the file is missing, too large or malformed.
std::optional<ModelProvenance> loadModelProvenance();

// What changed between the training `trained` describes and `now` (as
// describeModelSources gives it for the trained gestures, with the
// configuration of now; masks of 0 mean none is configured and are not
// compared). Empty when nothing did.
std::vector<std::string> staleReasons(const ModelProvenance& trained, const ModelProvenance& now,
                                      const GestureNameList& names);

// Whether the model in the working directory is current under the
// configuration given, and why not.
struct ModelFreshness {
    bool current = false;
    std::vector<std::string> staleBecause;
};
ModelFreshness modelFreshness(std::uint8_t channelMask, std::uint8_t gestureMask,
                              const GestureNameList& names);
