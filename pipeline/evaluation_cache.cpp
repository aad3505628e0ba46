#include "pipeline/evaluation_cache.h"

#include <array>
#include <bit>
#include <chrono>
#include <optional>

#include "pipeline/recording_inventory.h"
#include "store/gesture_name_file.h"
#include "store/raw_recording_file.h"
#include "store/raw_recording_reader.h"
#include "store/selected_recordings.h"

namespace {

using Stamp = EvaluationCache::Stamp;

Stamp currentStamp(std::uint8_t gestureMask, std::uint8_t channelMask, IdentifyMode mode) {
    Stamp stamp;
    stamp.mode = mode;
    stamp.gestureMask = gestureMask;
    stamp.channelMask = channelMask;
    for (int g = 1; g <= 8; ++g) {
        if ((gestureMask >> (g - 1)) & 1u) {
            stamp.raw[static_cast<std::size_t>(g - 1)] =
                fileStamp(rawFileName(static_cast<std::uint8_t>(g)));
        }
    }
    stamp.names = fileStamp(kGestureNamesFileName);
    return stamp;
}

Evaluation evaluateFiles(std::uint8_t gestureMask, std::uint8_t channelMask,
                         const GestureNames& names, IdentifyMode mode, std::stop_token stop) {
    Evaluation refused;
    refused.channels = std::popcount(channelMask);
    if (channelMask == 0) {
        refused.problem = "no channels are configured: choose the channels and gestures first";
        return refused;
    }
    if (std::popcount(gestureMask) < 2) {
        refused.problem = "a model needs two to eight gestures: choose them first";
        return refused;
    }
    std::vector<GestureRecording> recordings;
    const auto refusal = readSelectedRecordings(
        gestureMask, channelMask, kMaxAnalysedRawBytes,
        [&recordings](GestureRecording& recording) { recordings.push_back(std::move(recording)); });
    if (refusal) {
        refused.problem =
            refusal->read == RawRecordingRead::missing
                ? gestureLabel(refusal->gesture, names) + " has no recording: record it"
                : refusal->problem;
        return refused;
    }
    return evaluateRecordings(recordings, std::popcount(channelMask), names, mode, stop);
}

}  // namespace

CachedEvaluation EvaluationCache::evaluate(std::uint8_t gestureMask, std::uint8_t channelMask,
                                           IdentifyMode mode, std::stop_token stop) {
    const Stamp stamp = currentStamp(gestureMask, channelMask, mode);
    if (cachedStamp && *cachedStamp == stamp) {
        CachedEvaluation hit = cached;
        hit.fromCache = true;
        return hit;
    }
    const auto start = std::chrono::steady_clock::now();
    CachedEvaluation fresh;
    fresh.evaluation = evaluateFiles(gestureMask, channelMask, loadGestureNames(), mode, stop);
    fresh.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (stop.stop_requested()) {
        return fresh;
    }
    cached = fresh;
    cachedStamp = stamp;
    return fresh;
}
