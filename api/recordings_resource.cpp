#include <bit>
#include <cstdio>

#include "api/api_resources.h"
#include "api/json_response.h"
#include "api/response_body.h"
#include "core/emg_rate.h"
#include "core/log.h"
#include "core/whole_file.h"
#include "device/acquisition_state.h"
#include "recordings/delete_recording_window.h"
#include "recordings/gesture_name_file.h"
#include "recordings/raw_recording_reader.h"
#include "recordings/recording_export.h"
#include "recordings/recording_inventory.h"
#include "training/raw_recording_file.h"

namespace {

nlohmann::json entryJson(const RecordingEntry& entry, const GestureNameList& names) {
    nlohmann::json out;
    out["gesture"] = entry.gesture;
    out["name"] = names[static_cast<std::size_t>(entry.gesture - 1)];
    out["file"] = rawFileName(static_cast<std::uint8_t>(entry.gesture));
    out["bytes"] = entry.bytes;
    out["modified"] = entry.modifiedTime;
    out["selected"] = entry.selected;
    out["channelMask"] = entry.channelMask;
    out["channels"] = entry.channels;
    out["frames"] = entry.frames;
    out["seconds"] = entry.seconds;
    out["windows"] = nullptr;
    out["windowLog"] = nullptr;
    if (entry.windows) {
        out["windows"] = entry.windows->size();
        nlohmann::json log = nlohmann::json::array();
        for (const RecordedWindow& window : *entry.windows) {
            const int channels = std::popcount(window.channelMask);
            log.push_back({{"firstByte", window.firstByte},
                           {"bytes", window.bytes},
                           {"channelMask", window.channelMask},
                           {"frames", channels > 0 ? window.bytes / channels : 0},
                           {"ended", window.endTime}});
        }
        out["windowLog"] = log;
    }
    out["activeWindows"] = orNull(entry.activeWindows);
    out["windowsLeft"] = orNull(entry.windowsLeft);
    out["activity"] = entry.finding ? nlohmann::json(activityFindingName(*entry.finding)) : nullptr;
    out["notes"] = entry.notes;
    return out;
}

std::int64_t startTimeOf(const RecordingEntry& entry) {
    if (entry.channels == 0) {
        return 0;
    }
    const double perByte = 1.0 / (kEmgFramesPerSecond * entry.channels);
    if (entry.windows && !entry.windows->empty()) {
        const RecordedWindow& first = entry.windows->front();
        return first.endTime -
               static_cast<std::int64_t>(static_cast<double>(first.bytes) * perByte);
    }
    return entry.modifiedTime -
           static_cast<std::int64_t>(static_cast<double>(entry.bytes) * perByte);
}

}  // namespace

ApiResponse getRecordings() {
    const std::uint8_t channels = channelMask.load();
    const std::uint8_t gestures = gestureMask.load();
    const GestureNameList names = loadGestureNames();
    nlohmann::json document;
    document["channelMask"] = channels;
    document["gestureMask"] = gestures;
    document["recordings"] = nlohmann::json::array();
    for (const RecordingEntry& entry : takeInventory(channels, gestures)) {
        document["recordings"].push_back(entryJson(entry, names));
    }
    return jsonResponse(200, document);
}

ApiResponse getRecording(int gesture) {
    const auto entry = inventoryEntry(gesture, channelMask.load(), gestureMask.load());
    if (!entry) {
        return errorResponse(404, "gesture " + std::to_string(gesture) + " has no recording");
    }
    return jsonResponse(200, entryJson(*entry, loadGestureNames()));
}

ApiResponse deleteRecording(int gesture) {
    const std::string raw = rawFileName(static_cast<std::uint8_t>(gesture));
    const std::string log = windowLogName(gesture);
    if (fileSize(raw) < 0) {
        return errorResponse(404, "gesture " + std::to_string(gesture) + " has no recording");
    }
    if (std::remove(raw.c_str()) != 0) {
        return errorResponse(500, raw + " could not be removed");
    }
    std::remove(log.c_str());
    logLine("api, %s deleted", raw.c_str());
    return jsonResponse(200, {{"deleted", gesture}, {"files", {raw, log}}});
}

ApiResponse deleteRecordingWindow(int gesture, std::size_t window) {
    const std::string label = "gesture " + std::to_string(gesture);
    switch (removeRecordingWindow(gesture, window)) {
        case WindowDelete::deleted:
            return getRecording(gesture);
        case WindowDelete::noRecording:
            return errorResponse(404, label + " has no recording");
        case WindowDelete::noSuchWindow:
            return errorResponse(404, label + " has no window " + std::to_string(window));
        case WindowDelete::windowsUnknown:
            return errorResponse(409, label +
                                          "'s recording was made without a window log: its "
                                          "windows are not known; delete it whole");
        case WindowDelete::failed:
            break;
    }
    return errorResponse(500, "the window could not be deleted; the recording is as it was");
}

ApiResponse exportRecording(int gesture, ExportFormat format) {
    RawRecording raw;
    RawRecordingWants wants;
    wants.configuredMask = channelMask.load();
    wants.bytes = false;
    const RawRecordingRead read = readRawRecording(gesture, wants, raw);
    if (read == RawRecordingRead::missing) {
        return errorResponse(404, "gesture " + std::to_string(gesture) + " has no recording");
    }
    if (read != RawRecordingRead::read) {
        return errorResponse(409, raw.problem);
    }
    const auto entry =
        inventoryEntry(gesture, channelMask.load(), gestureMask.load(), /*analyse=*/false);
    ExportSource source;
    source.path = rawFileName(static_cast<std::uint8_t>(gesture));
    source.length = raw.size;
    source.channelMask = raw.channelMask;
    source.gesture = gesture;
    source.gestureName = loadGestureNames()[static_cast<std::size_t>(gesture - 1)];
    source.windows = raw.windows;
    source.startTime = entry ? startTimeOf(*entry) : 0;
    const std::string stem = "raw" + std::to_string(gesture);
    std::string error;
    const bool csv = format == ExportFormat::csv;
    std::shared_ptr<BodyStream> stream = csv ? csvExport(source, error) : edfExport(source, error);
    if (!stream) {
        return errorResponse(500, error);
    }
    ApiResponse response = textResponse(
        200, csv ? "text/csv; charset=utf-8" : "application/octet-stream", std::string());
    response.stream = std::move(stream);
    response.disposition = "attachment; filename=\"" + stem + (csv ? ".csv" : ".edf") + "\"";
    return response;
}
