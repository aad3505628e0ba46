#include <cstdio>

#include "api/api_resources.h"
#include "api/json_response.h"
#include "api/response_body.h"
#include "core/log.h"
#include "core/whole_file.h"
#include "device/acquisition_state.h"
#include "recordings/gesture_name_file.h"
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
            log.push_back({{"firstByte", window.firstByte},
                           {"bytes", window.bytes},
                           {"channelMask", window.channelMask},
                           {"ended", window.endTime}});
        }
        out["windowLog"] = log;
    }
    out["activeWindows"] = orNull(entry.activeWindows);
    out["activity"] = entry.finding ? nlohmann::json(activityFindingName(*entry.finding)) : nullptr;
    out["notes"] = entry.notes;
    return out;
}

std::int64_t startTimeOf(const RecordingEntry& entry) {
    if (entry.channels == 0) {
        return 0;
    }
    const double perByte = 1.0 / (650.0 * entry.channels);
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

ApiResponse exportRecording(int gesture, ExportFormat format) {
    const auto entry =
        inventoryEntry(gesture, channelMask.load(), gestureMask.load(), /*analyse=*/false);
    if (!entry) {
        return errorResponse(404, "gesture " + std::to_string(gesture) + " has no recording");
    }
    if (entry->channels == 0) {
        return errorResponse(409,
                             "the channels of this recording are not known: configure them first");
    }
    if (entry->bytes > kMaxExportedRawBytes) {
        return errorResponse(507, "the recording holds " + std::to_string(entry->bytes) +
                                      " bytes; recordings of at most " +
                                      std::to_string(kMaxExportedRawBytes) + " bytes are exported");
    }
    // The body is about 6 bytes per raw byte as CSV text, 2 as EDF+.
    if (bodyBytesInFlight() + 6 * entry->bytes > kMaxBodyBytesInFlight) {
        return errorResponse(503, "earlier exports are still being sent; try again shortly");
    }
    std::vector<std::uint8_t> bytes;
    if (readWholeFile(rawFileName(static_cast<std::uint8_t>(gesture)), kMaxExportedRawBytes,
                      bytes) != FileRead::Read) {
        return errorResponse(500, "the recording could not be read");
    }
    ExportSource source;
    source.bytes = bytes.data();
    source.length = bytes.size();
    source.channelMask = entry->channelMask;
    source.gesture = gesture;
    source.gestureName = loadGestureNames()[static_cast<std::size_t>(gesture - 1)];
    source.windows = entry->windows;
    source.startTime = startTimeOf(*entry);
    const std::string stem = "raw" + std::to_string(gesture);
    if (format == ExportFormat::csv) {
        ApiResponse response = textResponse(200, "text/csv; charset=utf-8", recordingCsv(source));
        response.disposition = "attachment; filename=\"" + stem + ".csv\"";
        return response;
    }
    std::string file;
    std::string error;
    if (!recordingEdf(source, file, error)) {
        return errorResponse(500, error);
    }
    ApiResponse response = textResponse(200, "application/octet-stream", std::move(file));
    response.disposition = "attachment; filename=\"" + stem + ".edf\"";
    return response;
}
