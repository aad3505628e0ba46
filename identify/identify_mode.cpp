#include "identify/identify_mode.h"

#include <atomic>

namespace {

std::atomic<IdentifyMode> currentMode{IdentifyMode::exact};

}  // namespace

void setIdentifyMode(IdentifyMode mode) {
    currentMode.store(mode);
}

IdentifyMode identifyMode() {
    return currentMode.load();
}

const char* identifyModeName(IdentifyMode mode) {
    return mode == IdentifyMode::calibrated ? "calibrated" : "exact";
}

std::optional<IdentifyMode> identifyModeNamed(std::string_view name) {
    if (name == "exact") {
        return IdentifyMode::exact;
    }
    if (name == "calibrated") {
        return IdentifyMode::calibrated;
    }
    return std::nullopt;
}
