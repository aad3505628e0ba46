#include "signal/identify_mode.h"

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
