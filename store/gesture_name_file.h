// The names people give gestures 1 to 8, kept by the server in
// "gesture_names.json" in the working directory, so that every client shows
// the same names: {"names": ["Fist", "Open hand", "", ...]}, eight strings,
// "" for a gesture without a name. Main thread.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

using GestureNameList = std::array<std::string, 8>;

inline constexpr const char* kGestureNamesFileName = "gesture_names.json";
// A name is at most this many bytes of UTF-8 without control characters.
inline constexpr std::size_t kMaxGestureNameBytes = 40;

// The names in the file; all empty when it is missing or malformed.
GestureNameList loadGestureNames();
// Replaces the file, whole or not at all; false, with a log line that says
// why, when it cannot be written.
bool saveGestureNames(const GestureNameList& names);

// Reads {"names": [...]} with at most eight names (the rest are empty).
// Nothing, with `error` in words, when the text is not that (an object that
// names a key twice included).
std::optional<GestureNameList> parseGestureNames(std::string_view text, std::string& error);
// The same text as a change of `current`: the k-th name given names gesture
// k; the gestures after the last one given keep their names ("" clears one).
std::optional<GestureNameList> mergeGestureNames(std::string_view text,
                                                 const GestureNameList& current,
                                                 std::string& error);
// A name is acceptable: short enough, no control characters.
bool isAcceptableGestureName(std::string_view name);
