#include "recordings/recording_inventory.h"

#include <sys/stat.h>

#include <bit>
#include <cstdio>

#include "core/whole_file.h"
#include "training/raw_recording_file.h"

namespace {

constexpr double kFramesPerSecond = 650.0;

std::string hexMask(std::uint8_t mask) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", mask);
    return text;
}

void noteChannelMismatch(RecordingEntry& entry, std::uint8_t configuredMask) {
    if (!entry.windows || configuredMask == 0) {
        return;
    }
    for (const RecordedWindow& window : *entry.windows) {
        if (window.channelMask != configuredMask) {
            entry.notes.push_back("recorded with channels " + hexMask(window.channelMask) +
                                  " but the configuration has " + hexMask(configuredMask) +
                                  ": its frames are read wrongly; delete it and record it again");
            return;
        }
    }
}

void analyse(RecordingEntry& entry) {
    if (entry.channels == 0) {
        return;
    }
    if (entry.bytes > kMaxAnalysedRawBytes) {
        entry.notes.push_back("larger than " + std::to_string(kMaxAnalysedRawBytes) +
                              " bytes: not analysed");
        return;
    }
    std::vector<std::uint8_t> bytes;
    if (readWholeFile(rawFileName(static_cast<std::uint8_t>(entry.gesture)), kMaxAnalysedRawBytes,
                      bytes) != FileRead::Read) {
        entry.notes.push_back("could not be read");
        return;
    }
    const RecordingAnalysis analysis =
        analyseRecording(bytes.data(), bytes.size(), static_cast<std::size_t>(entry.channels));
    entry.activeWindows = analysis.activeWindows.size();
    entry.finding = judgeActivity(analysis);
}

}  // namespace

std::uint8_t recordingChannelMask(std::uint8_t configuredMask,
                                  const std::optional<std::vector<RecordedWindow>>& windows) {
    if (configuredMask != 0 || !windows || windows->empty()) {
        return configuredMask;
    }
    const std::uint8_t first = windows->front().channelMask;
    for (const RecordedWindow& window : *windows) {
        if (window.channelMask != first) {
            return 0;
        }
    }
    return first;
}

std::optional<RecordingEntry> inventoryEntry(int gesture, std::uint8_t channelMask,
                                             std::uint8_t gestureMask, bool withAnalysis) {
    const std::string name = rawFileName(static_cast<std::uint8_t>(gesture));
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    RecordingEntry entry;
    entry.gesture = gesture;
    entry.bytes = static_cast<std::uint64_t>(status.st_size);
    entry.modifiedTime = static_cast<std::int64_t>(status.st_mtime);
    entry.selected = ((gestureMask >> (gesture - 1)) & 1u) != 0;
    entry.windows = readWindowLog(gesture, entry.bytes);
    entry.channelMask = recordingChannelMask(channelMask, entry.windows);
    entry.channels = std::popcount(entry.channelMask);
    if (entry.channels > 0) {
        entry.frames = entry.bytes / static_cast<std::uint64_t>(entry.channels);
        entry.seconds = static_cast<double>(entry.frames) / kFramesPerSecond;
    }
    if (!entry.windows) {
        entry.notes.push_back("made without a window log: its windows are unknown");
    }
    noteChannelMismatch(entry, channelMask);
    if (withAnalysis) {
        analyse(entry);
    }
    return entry;
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
