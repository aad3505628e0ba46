// The settings that clients change through the API and that the server keeps
// across restarts: "settings.json" in the working directory,
// {"identifyMode": "calibrated"}. Main thread.
#pragma once

#include <optional>

#include "signal/identify_mode.h"

inline constexpr const char* kSettingsFileName = "settings.json";

// The identification mode saved last; nothing without a readable file.
std::optional<IdentifyMode> loadSavedIdentifyMode();
// Replaces the file, whole or not at all; false, with a log line that says
// why, when it cannot be written.
bool saveIdentifyMode(IdentifyMode mode);
