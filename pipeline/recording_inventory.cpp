#include "pipeline/recording_inventory.h"

#include <sys/stat.h>

#include <bit>
#include <cstdio>

#include "protocol/emg_rate.h"
#include "protocol/recording_window.h"
#include "store/raw_recording_file.h"
#include "store/raw_recording_reader.h"

namespace {

RecordingActivity activityOf(const RawRecording& recording) {
    const RecordingAnalysis analysis =
        analyseRecording(recording.bytes.data(), recording.bytes.size(),
                         static_cast<std::size_t>(recording.channels));
    return RecordingActivity{analysis.activeWindows.size(), judgeActivity(analysis),
                             recording.channelMask};
}

std::int64_t modifiedTimeOf(int gesture) {
    struct stat status {};
    if (::stat(rawFileName(static_cast<std::uint8_t>(gesture)).c_str(), &status) != 0) {
        return 0;
    }
    return static_cast<std::int64_t>(status.st_mtime);
}

}  // namespace

std::uint64_t windowsLeft(std::uint64_t rawBytes, std::uint64_t windowBytes) {
    if (windowBytes == 0 || rawBytes > kMaxRawFileBytes) {
        return 0;
    }
    return (kMaxRawFileBytes - rawBytes) / windowBytes;
}

std::optional<RecordingEntry> inventoryEntry(int gesture, std::uint8_t channelMask,
                                             std::uint8_t gestureMask, bool withAnalysis) {
    RawRecording recording;
    RawRecordingWants wants;
    wants.configuredMask = channelMask;
    wants.bytes = withAnalysis;
    wants.maxBytes = kMaxAnalysedRawBytes;
    const RawRecordingRead read = readRawRecording(gesture, wants, recording);
    if (read == RawRecordingRead::missing) {
        return std::nullopt;
    }
    RecordingEntry entry;
    entry.gesture = gesture;
    entry.bytes = recording.size;
    entry.modifiedTime = modifiedTimeOf(gesture);
    entry.selected = ((gestureMask >> (gesture - 1)) & 1u) != 0;
    entry.windows = recording.windows;
    entry.channelMask = recording.channelMask;
    entry.channels = recording.channels;
    if (entry.channels > 0) {
        entry.frames = entry.bytes / static_cast<std::uint64_t>(entry.channels);
        entry.seconds = static_cast<double>(entry.frames) / kEmgFramesPerSecond;
    }
    if (!entry.windows) {
        entry.notes.push_back("made without a window log: its windows are unknown");
    }
    if (read == RawRecordingRead::tooLarge || recording.size > kMaxAnalysedRawBytes) {
        entry.notes.push_back("larger than " + std::to_string(kMaxAnalysedRawBytes) +
                              " bytes: not analysed");
    } else if (read != RawRecordingRead::read) {
        entry.notes.push_back(recording.problem);
    } else {
        entry.analysable = true;
        if (withAnalysis) {
            addActivity(entry, activityOf(recording));
        }
    }
    if (entry.windows && entry.channels > 0 && channelMask != 0 &&
        entry.channelMask != channelMask) {
        entry.notes.push_back("recorded with channels " + channelMaskText(entry.channelMask) +
                              " but the configuration has " + channelMaskText(channelMask) +
                              ": training and the evaluation refuse it until the two agree");
    }
    const int nextChannels = channelMask != 0 ? std::popcount(channelMask) : entry.channels;
    if (nextChannels > 0) {
        entry.windowsLeft = windowsLeft(
            entry.bytes, static_cast<std::uint64_t>(kRecordWindowFrames) * nextChannels);
        if (*entry.windowsLeft == 0) {
            entry.notes.push_back("full: one more window would pass the " +
                                  std::to_string(kMaxRawFileBytes) +
                                  " bytes that training takes; delete a window to record again");
        }
    }
    return entry;
}

void addActivity(RecordingEntry& entry, const RecordingActivity& activity) {
    entry.activeWindows = activity.activeWindows;
    entry.finding = activity.finding;
}

std::optional<RecordingActivity> analyseRecordingActivity(int gesture, std::uint8_t channelMask) {
    RawRecording recording;
    RawRecordingWants wants;
    wants.configuredMask = channelMask;
    wants.maxBytes = kMaxAnalysedRawBytes;
    if (readRawRecording(gesture, wants, recording) != RawRecordingRead::read) {
        return std::nullopt;
    }
    return activityOf(recording);
}

std::vector<RecordingEntry> takeInventory(std::uint8_t channelMask, std::uint8_t gestureMask) {
    std::vector<RecordingEntry> entries;
    for (int gesture = 1; gesture <= 8; ++gesture) {
        if (auto entry = inventoryEntry(gesture, channelMask, gestureMask)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}
