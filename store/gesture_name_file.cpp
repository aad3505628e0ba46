#include "store/gesture_name_file.h"

#include <algorithm>
#include <vector>

#include "base/atomic_file.h"
#include "base/log.h"
#include "base/strict_json.h"
#include "base/whole_file.h"

namespace {

constexpr std::size_t kMaxNamesFileBytes = 16 * 1024;

}  // namespace

bool isAcceptableGestureName(std::string_view name) {
    if (name.size() > kMaxGestureNameBytes) {
        return false;
    }
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

namespace {

// The names given, at most eight.
std::optional<std::vector<std::string>> namesGiven(std::string_view text, std::string& error) {
    // The parser checks the UTF-8 of every string; it reports by value, not by throwing.
    const nlohmann::json document = parseJsonStrictly(text);
    if (document.is_discarded() || !document.is_object()) {
        error =
            "the body must be a JSON object such as {\"names\": [\"Fist\", \"Open hand\"]}, "
            "each key once";
        return std::nullopt;
    }
    const auto names = document.find("names");
    if (names == document.end() || !names->is_array() || names->size() > 8) {
        error = "\"names\" must be an array of at most 8 strings, for gestures 1 to 8";
        return std::nullopt;
    }
    std::vector<std::string> list;
    for (std::size_t i = 0; i < names->size(); ++i) {
        const nlohmann::json& name = (*names)[i];
        if (!name.is_string()) {
            error = "name " + std::to_string(i + 1) + " is not a string";
            return std::nullopt;
        }
        const std::string& value = name.get_ref<const std::string&>();
        if (!isAcceptableGestureName(value)) {
            error = "name " + std::to_string(i + 1) + " is longer than " +
                    std::to_string(kMaxGestureNameBytes) + " bytes or holds control characters";
            return std::nullopt;
        }
        list.push_back(value);
    }
    return list;
}

}  // namespace

std::optional<GestureNameList> parseGestureNames(std::string_view text, std::string& error) {
    return mergeGestureNames(text, GestureNameList{}, error);
}

std::optional<GestureNameList> mergeGestureNames(std::string_view text,
                                                 const GestureNameList& current,
                                                 std::string& error) {
    const std::optional<std::vector<std::string>> given = namesGiven(text, error);
    if (!given) {
        return std::nullopt;
    }
    GestureNameList list = current;
    std::copy(given->begin(), given->end(), list.begin());
    return list;
}

GestureNameList loadGestureNames() {
    std::string text;
    std::string error;
    if (readWholeFile(kGestureNamesFileName, kMaxNamesFileBytes, text) != FileRead::Read) {
        return {};
    }
    return parseGestureNames(text, error).value_or(GestureNameList{});
}

bool saveGestureNames(const GestureNameList& names) {
    nlohmann::json document;
    document["names"] = nlohmann::json::array();
    for (const std::string& name : names) {
        document["names"].push_back(name);
    }
    const std::string text =
        document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    const FileWrite written = writeFileAtomically(kGestureNamesFileName, text.data(), text.size());
    if (!written) {
        logLine("saveGestureNames, %s could not be written: %s", kGestureNamesFileName,
                written.reason.c_str());
    }
    return static_cast<bool>(written);
}
