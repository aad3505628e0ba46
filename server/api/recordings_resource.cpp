#include <bit>
#include <cstdio>
#include <functional>

#include "base/log.h"
#include "base/whole_file.h"
#include "pipeline/recording_inventory.h"
#include "protocol/emg_rate.h"
#include "server/api/api_resources.h"
#include "server/api/json_response.h"
#include "server/net/response_body.h"
#include "server/state/server_context.h"
#include "store/delete_recording_window.h"
#include "store/gesture_name_file.h"
#include "store/raw_recording_file.h"
#include "store/raw_recording_reader.h"
#include "store/recording_export.h"

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

// A body whose length was measured already (on the background worker):
// the HTTP session asks for it on its own thread.
class MeasuredBody : public BodyStream {
  public:
    explicit MeasuredBody(std::shared_ptr<BodyStream> body)
        : inner(std::move(body)), total(inner->length()) {}
    std::uint64_t length() override { return total; }
    bool next(std::string& piece) override { return inner->next(piece); }

  private:
    std::shared_ptr<BodyStream> inner;
    std::uint64_t total;
};

// The entries of the gestures asked for (every gesture: 0), each with its
// analysis from the inventory cache when the cache holds the analysis of its
// files as they are; the gestures whose analysis is missing.
struct Inventory {
    std::vector<RecordingEntry> entries;
    std::vector<int> missing;
};

Inventory currentInventory(ServerContext& server, int only) {
    const AcquisitionState& state = server.acquisition;
    Inventory inventory;
    for (int gesture = only == 0 ? 1 : only; gesture <= (only == 0 ? 8 : only); ++gesture) {
        auto entry = inventoryEntry(gesture, state.channelMask, state.gestureMask,
                                    /*analyse=*/false);
        if (!entry) {
            continue;
        }
        if (entry->analysable) {
            const auto key = InventoryCache::keyOf(gesture, entry->channelMask);
            if (const auto activity = server.inventory.find(gesture, key)) {
                addActivity(*entry, *activity);
            } else {
                inventory.missing.push_back(gesture);
            }
        }
        inventory.entries.push_back(std::move(*entry));
    }
    return inventory;
}

// The entries, and whether each analysis they need was found.
using InventoryAnswer = std::function<void(std::vector<RecordingEntry> entries, bool complete)>;

// Answers with the inventory once the analyses it needs are in: at once when
// the cache holds them, else after the background worker has made them (then
// once more only: an analysis that cannot be made leaves the activity unknown).
void withInventory(ServerContext& server, int only, InventoryAnswer answer, bool waited = false) {
    Inventory now = currentInventory(server, only);
    if (now.missing.empty() || waited) {
        answer(std::move(now.entries), now.missing.empty());
        return;
    }
    for (const int gesture : now.missing) {
        if (!server.inventory.analysing(gesture)) {
            server.refreshInventory(gesture, server.acquisition.channelMask);
        }
    }
    server.inventory.whenSettled([&server, only, answer = std::move(answer)]() mutable {
        withInventory(server, only, std::move(answer), true);
    });
}

void answerEntry(ServerContext& server, int gesture, ApiReply reply) {
    withInventory(server, gesture, [gesture, reply](std::vector<RecordingEntry> entries, bool) {
        if (entries.empty()) {
            reply(errorResponse(404, "gesture " + std::to_string(gesture) + " has no recording"));
            return;
        }
        reply(jsonResponse(200, entryJson(entries.front(), loadGestureNames())));
    });
}

ApiResponse removeRecording(int gesture) {
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

}  // namespace

void getRecordings(ServerContext& server, ApiReply reply) {
    const std::uint8_t channels = server.acquisition.channelMask;
    const std::uint8_t gestures = server.acquisition.gestureMask;
    // Nothing it is made of has changed since it was last given out: as it was.
    if (auto body = server.inventory.answered(InventoryCache::madeOf(channels, gestures))) {
        ApiResponse response = textResponse(200, "application/json", std::string());
        response.body = std::move(body);
        reply(std::move(response));
        return;
    }
    withInventory(
        server, 0,
        [&server, channels, gestures, reply](std::vector<RecordingEntry> entries, bool complete) {
            const GestureNameList names = loadGestureNames();
            nlohmann::json document;
            document["channelMask"] = channels;
            document["gestureMask"] = gestures;
            document["recordings"] = nlohmann::json::array();
            for (const RecordingEntry& entry : entries) {
                document["recordings"].push_back(entryJson(entry, names));
            }
            ApiResponse response = jsonResponse(200, document);
            if (complete) {
                server.inventory.keepAnswer(InventoryCache::madeOf(channels, gestures),
                                            response.body);
            }
            reply(std::move(response));
        });
}

void getRecording(ServerContext& server, int gesture, ApiReply reply) {
    answerEntry(server, gesture, std::move(reply));
}

void deleteRecording(ServerContext& server, int gesture, ApiReply reply) {
    server.inBackground([gesture](std::stop_token) { return removeRecording(gesture); },
                        [reply](ApiResponse response) { reply(std::move(response)); });
}

void deleteRecordingWindow(ServerContext& server, int gesture, std::size_t window, ApiReply reply) {
    server.inBackground(
        [gesture, window](std::stop_token) { return removeRecordingWindow(gesture, window); },
        [&server, gesture, window, reply](WindowDelete outcome) {
            const std::string label = "gesture " + std::to_string(gesture);
            switch (outcome) {
                case WindowDelete::deleted:
                    server.refreshInventory(gesture, server.acquisition.channelMask);
                    answerEntry(server, gesture, reply);
                    return;
                case WindowDelete::noRecording:
                    reply(errorResponse(404, label + " has no recording"));
                    return;
                case WindowDelete::noSuchWindow:
                    reply(errorResponse(404, label + " has no window " + std::to_string(window)));
                    return;
                case WindowDelete::windowsUnknown:
                    reply(errorResponse(409, label + "'s recording was made without a window log: "
                                                     "its windows are not known; delete it whole"));
                    return;
                case WindowDelete::failed:
                    break;
            }
            reply(
                errorResponse(500, "the window could not be deleted; the recording is as it was"));
        });
}

void exportRecording(ServerContext& server, int gesture, ExportFormat format, ApiReply reply) {
    const std::uint8_t channelMask = server.acquisition.channelMask;
    const std::uint8_t gestureMask = server.acquisition.gestureMask;
    server.inBackground(
        [gesture, format, channelMask, gestureMask](std::stop_token) {
            RawRecording raw;
            RawRecordingWants wants;
            wants.configuredMask = channelMask;
            wants.bytes = false;
            const RawRecordingRead read = readRawRecording(gesture, wants, raw);
            if (read == RawRecordingRead::missing) {
                return errorResponse(404,
                                     "gesture " + std::to_string(gesture) + " has no recording");
            }
            if (read != RawRecordingRead::read) {
                return errorResponse(409, raw.problem);
            }
            const auto entry = inventoryEntry(gesture, channelMask, gestureMask, false);
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
            std::shared_ptr<BodyStream> stream =
                csv ? csvExport(source, error) : edfExport(source, error);
            if (!stream) {
                return errorResponse(500, error);
            }
            ApiResponse response = textResponse(
                200, csv ? "text/csv; charset=utf-8" : "application/octet-stream", std::string());
            response.stream = std::make_shared<MeasuredBody>(std::move(stream));
            response.disposition =
                "attachment; filename=\"" + stem + (csv ? ".csv" : ".edf") + "\"";
            return response;
        },
        [reply](ApiResponse response) { reply(std::move(response)); });
}
