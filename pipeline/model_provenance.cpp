#include "pipeline/model_provenance.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <tuple>
#include <type_traits>

#include "base/atomic_file.h"
#include "base/log.h"
#include "base/whole_file.h"
#include "pipeline/recording_inventory.h"
#include "store/model_file.h"
#include "store/model_shape.h"

namespace {

// Every trained gesture's window log fits: at most a few hundred windows each.
constexpr std::size_t kMaxProvenanceBytes = 1024 * 1024;

using nlohmann::json;

}  // namespace

std::uint64_t modelFileFingerprint() {
    std::string text;
    if (readWholeFile(kModelFileName, kMaxModelFileBytes, text) != FileRead::Read) {
        return 0;
    }
    std::uint64_t hash = 1469598103934665603ull;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

namespace {

template <typename Number>
bool readNumber(const json& value, Number& out) {
    if (!value.is_number_integer()) {
        return false;
    }
    if constexpr (std::is_unsigned_v<Number>) {
        if (!value.is_number_unsigned() || value.get<std::uint64_t>() > Number(-1)) {
            return false;
        }
    }
    out = value.get<Number>();
    return true;
}

template <typename Number>
bool readField(const json& object, const char* key, Number& out) {
    const auto found = object.find(key);
    return found != object.end() && readNumber(*found, out);
}

std::optional<std::vector<RecordedWindow>> windowsFrom(const json& list, bool& ok) {
    if (list.is_null()) {
        return std::nullopt;
    }
    std::vector<RecordedWindow> windows;
    ok = list.is_array();
    for (std::size_t i = 0; ok && i < list.size(); ++i) {
        const json& w = list[i];
        RecordedWindow window;
        ok = w.is_array() && w.size() == 4 && readNumber(w[0], window.firstByte) &&
             readNumber(w[1], window.bytes) && readNumber(w[2], window.channelMask) &&
             readNumber(w[3], window.endTime);
        windows.push_back(window);
    }
    return windows;
}

std::optional<ModelProvenance> parseProvenance(const std::string& text) {
    const json document = json::parse(text, nullptr, false);
    ModelProvenance out;
    if (document.is_discarded() || !document.is_object() ||
        !readField(document, "channelMask", out.channelMask) ||
        !readField(document, "gestureMask", out.gestureMask)) {
        return std::nullopt;
    }
    const auto model = document.find("model");
    const auto recordings = document.find("recordings");
    if (model == document.end() || !model->is_string() || recordings == document.end() ||
        !recordings->is_array()) {
        return std::nullopt;
    }
    const std::string& fingerprint = model->get_ref<const std::string&>();
    char* end = nullptr;
    out.modelFingerprint = std::strtoull(fingerprint.c_str(), &end, 16);
    if (fingerprint.size() != 16 || *end != '\0') {
        return std::nullopt;
    }
    for (const json& r : *recordings) {
        TrainedRecording recording;
        bool ok = r.is_object() && readField(r, "gesture", recording.gesture) &&
                  recording.gesture >= 1 && recording.gesture <= kMostGestures &&
                  readField(r, "bytes", recording.bytes) &&
                  readField(r, "modified", recording.modifiedTime) && r.contains("windows");
        if (ok) {
            recording.windows = windowsFrom(r["windows"], ok);
        }
        if (!ok) {
            return std::nullopt;
        }
        out.recordings.push_back(std::move(recording));
    }
    return out;
}

// "Fist", or "gesture 3" for a gesture without a name.
std::string nameOf(int gesture, const GestureNameList& names) {
    const std::string& name = names[static_cast<std::size_t>(gesture - 1)];
    return name.empty() ? "gesture " + std::to_string(gesture) : name;
}

// "1, 3 and 4", or "1–8" for a run of more than two.
std::string listWords(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    }
    return out;
}

std::vector<int> bitsOf(std::uint8_t mask) {
    std::vector<int> numbers;
    for (int n = 1; n <= 8; ++n) {
        if ((mask >> (n - 1)) & 1u) {
            numbers.push_back(n);
        }
    }
    return numbers;
}

std::string channelWords(std::uint8_t mask) {
    const std::vector<int> numbers = bitsOf(mask);
    if (numbers.size() > 2 && numbers.back() - numbers.front() + 1 == int(numbers.size())) {
        return "channels " + std::to_string(numbers.front()) + "–" + std::to_string(numbers.back());
    }
    std::vector<std::string> words;
    for (const int n : numbers) {
        words.push_back(std::to_string(n));
    }
    return (numbers.size() == 1 ? "channel " : "channels ") + listWords(words);
}

std::string gestureWords(std::uint8_t mask, const GestureNameList& names) {
    std::vector<std::string> words;
    for (const int n : bitsOf(mask)) {
        words.push_back(nameOf(n, names));
    }
    return listWords(words);
}

std::string windowCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " window" : " windows");
}

// A window is the same window while its length, channels and end are.
using WindowKey = std::tuple<std::uint64_t, std::uint8_t, std::int64_t>;

std::vector<WindowKey> keysOf(const std::vector<RecordedWindow>& windows) {
    std::vector<WindowKey> keys;
    for (const RecordedWindow& w : windows) {
        keys.emplace_back(w.bytes, w.channelMask, w.endTime);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

// How the recording of one trained gesture changed; empty when it did not.
std::string recordingChange(const TrainedRecording& trained, const TrainedRecording* now,
                            const std::string& name) {
    if (now == nullptr) {
        return "The recording of " + name + " was deleted.";
    }
    if (!trained.windows || !now->windows) {
        const bool same = !trained.windows && !now->windows && trained.bytes == now->bytes &&
                          trained.modifiedTime == now->modifiedTime;
        return same ? "" : "The recording of " + name + " changed.";
    }
    const std::vector<WindowKey> before = keysOf(*trained.windows);
    const std::vector<WindowKey> after = keysOf(*now->windows);
    std::vector<WindowKey> added;
    std::vector<WindowKey> removed;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                        std::back_inserter(removed));
    if (!added.empty() && !removed.empty()) {
        return name + " was recorded again (" + windowCount(added.size()) + " added, " +
               std::to_string(removed.size()) + " removed).";
    }
    if (!added.empty()) {
        return windowCount(added.size()) + " of " + name + (added.size() == 1 ? " was" : " were") +
               " added.";
    }
    if (!removed.empty()) {
        return windowCount(removed.size()) + " of " + name +
               (removed.size() == 1 ? " was" : " were") + " removed.";
    }
    return "";
}

}  // namespace

ModelProvenance describeModelSources(std::uint8_t channelMask, std::uint8_t gestureMask) {
    ModelProvenance out;
    out.channelMask = channelMask;
    out.gestureMask = gestureMask;
    out.modelFingerprint = modelFileFingerprint();
    for (const int gesture : bitsOf(gestureMask)) {
        const auto entry = inventoryEntry(gesture, channelMask, gestureMask, /*analyse=*/false);
        if (entry) {
            out.recordings.push_back({gesture, entry->bytes, entry->modifiedTime, entry->windows});
        }
    }
    return out;
}

bool saveModelProvenance(const ModelProvenance& provenance) {
    char fingerprint[24];
    std::snprintf(fingerprint, sizeof fingerprint, "%016llx",
                  static_cast<unsigned long long>(provenance.modelFingerprint));
    json document = {{"channelMask", provenance.channelMask},
                     {"gestureMask", provenance.gestureMask},
                     {"model", fingerprint},
                     {"recordings", json::array()}};
    for (const TrainedRecording& r : provenance.recordings) {
        json windows = nullptr;
        if (r.windows) {
            windows = json::array();
            for (const RecordedWindow& w : *r.windows) {
                windows.push_back({w.firstByte, w.bytes, w.channelMask, w.endTime});
            }
        }
        document["recordings"].push_back({{"gesture", r.gesture},
                                          {"bytes", r.bytes},
                                          {"modified", r.modifiedTime},
                                          {"windows", windows}});
    }
    const std::string text = document.dump() + "\n";
    const FileWrite written =
        writeFileAtomically(kModelProvenanceFileName, text.data(), text.size());
    if (!written) {
        logLine("saveModelProvenance, %s could not be written: %s", kModelProvenanceFileName,
                written.reason.c_str());
    }
    return static_cast<bool>(written);
}

std::optional<ModelProvenance> loadModelProvenance() {
    std::string text;
    if (readWholeFile(kModelProvenanceFileName, kMaxProvenanceBytes, text) != FileRead::Read) {
        return std::nullopt;
    }
    return parseProvenance(text);
}

std::vector<std::string> staleReasons(const ModelProvenance& trained, const ModelProvenance& now,
                                      const GestureNameList& names) {
    if (trained.modelFingerprint != now.modelFingerprint) {
        return {"The model file is not the one trained from these recordings."};
    }
    std::vector<std::string> reasons;
    if (now.gestureMask != 0 && now.gestureMask != trained.gestureMask) {
        reasons.push_back("The gestures changed: the model knows " +
                          gestureWords(trained.gestureMask, names) + "; " +
                          gestureWords(now.gestureMask, names) + " are chosen now.");
    }
    if (now.channelMask != 0 && now.channelMask != trained.channelMask) {
        reasons.push_back("The channels changed: the model was trained on " +
                          channelWords(trained.channelMask) + "; " + channelWords(now.channelMask) +
                          " are chosen now.");
    }
    for (const TrainedRecording& before : trained.recordings) {
        const auto after = std::find_if(
            now.recordings.begin(), now.recordings.end(),
            [&before](const TrainedRecording& r) { return r.gesture == before.gesture; });
        const std::string change =
            recordingChange(before, after == now.recordings.end() ? nullptr : &*after,
                            nameOf(before.gesture, names));
        if (!change.empty()) {
            reasons.push_back(change);
        }
    }
    return reasons;
}

ModelFreshness modelFreshness(std::uint8_t channelMask, std::uint8_t gestureMask,
                              const GestureNameList& names) {
    if (fileSize(kModelFileName) < 0) {
        return {false, {"There is no model yet."}};
    }
    const std::optional<ModelProvenance> trained = loadModelProvenance();
    if (!trained) {
        return {false, {"It is not known which recordings and settings the model was trained on."}};
    }
    ModelProvenance now = describeModelSources(trained->channelMask, trained->gestureMask);
    now.channelMask = channelMask;
    now.gestureMask = gestureMask;
    ModelFreshness out;
    out.staleBecause = staleReasons(*trained, now, names);
    out.current = out.staleBecause.empty();
    return out;
}
