#include "evaluation/evaluation_cache.h"

#include <sys/stat.h>

#include <array>
#include <bit>
#include <chrono>
#include <optional>

#include "recordings/gesture_name_file.h"
#include "recordings/raw_recording_reader.h"
#include "recordings/recording_inventory.h"
#include "training/raw_recording_file.h"
#include "training/selected_recordings.h"

namespace {

// What an evaluation depends on; equal stamps, equal evaluations.
struct FileStamp {
    bool present = false;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};

struct Stamp {
    IdentifyMode mode = IdentifyMode::exact;
    std::uint8_t gestureMask = 0;
    std::uint8_t channelMask = 0;
    std::array<FileStamp, 8> raw{};
    FileStamp names;
    bool operator==(const Stamp&) const = default;
};

FileStamp stampOf(const std::string& name) {
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) {
        return {};
    }
    return {true, static_cast<std::int64_t>(status.st_size),
            static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
            static_cast<std::uint64_t>(status.st_ino)};
}

Stamp currentStamp(std::uint8_t gestureMask, std::uint8_t channelMask) {
    Stamp stamp;
    stamp.mode = identifyMode();
    stamp.gestureMask = gestureMask;
    stamp.channelMask = channelMask;
    for (int g = 1; g <= 8; ++g) {
        if ((gestureMask >> (g - 1)) & 1u) {
            stamp.raw[static_cast<std::size_t>(g - 1)] =
                stampOf(rawFileName(static_cast<std::uint8_t>(g)));
        }
    }
    stamp.names = stampOf(kGestureNamesFileName);
    return stamp;
}

Evaluation evaluateFiles(std::uint8_t gestureMask, std::uint8_t channelMask,
                         const GestureNames& names) {
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
        refused.problem = refusal->read == RawRecordingRead::missing
                              ? gestureLabel(refusal->gesture, names) + " has no recording: record it"
                              : refusal->problem;
        return refused;
    }
    return evaluateRecordings(recordings, std::popcount(channelMask), names, identifyMode());
}

std::optional<Stamp> cachedStamp;
CachedEvaluation cached;

}  // namespace

CachedEvaluation evaluateWorkingDirectory(std::uint8_t gestureMask, std::uint8_t channelMask) {
    const Stamp stamp = currentStamp(gestureMask, channelMask);
    if (cachedStamp && *cachedStamp == stamp) {
        CachedEvaluation hit = cached;
        hit.fromCache = true;
        return hit;
    }
    const auto start = std::chrono::steady_clock::now();
    CachedEvaluation fresh;
    fresh.evaluation = evaluateFiles(gestureMask, channelMask, loadGestureNames());
    fresh.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    cached = fresh;
    cachedStamp = stamp;
    return fresh;
}
