#include "protocol/version_text.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// Copies `digits` right-aligned into the three characters of `text` ending at `last`.
void placeGroup(std::string& text, std::size_t last, const std::string& digits) {
    for (std::size_t i = 0; i < digits.size(); ++i) {
        text[last - i] = digits[digits.size() - 1 - i];
    }
}

bool allDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string toNarrow(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    std::vector<char> buffer(wide.size() * 4 + 1, '\0');
    const std::size_t written = std::wcstombs(buffer.data(), wide.c_str(), buffer.size() - 1);
    if (written == static_cast<std::size_t>(-1)) {
        return {};
    }
    return std::string(buffer.data());
}

std::string formatHardwareVersion(const std::string& version) {
    if (version.size() < 2 || version.size() > 4 || !allDigits(version.substr(1))) {
        return kUnknownVersion;
    }
    std::string text = "000.000.000";
    placeGroup(text, 2, version.substr(1));
    return text;
}

std::string formatFirmwareVersion(const std::string& version) {
    if (version.empty()) {
        return kUnknownVersion;
    }
    const std::size_t dot = version.find('.');
    const std::size_t dash = version.find('-');
    if (dot == std::string::npos || dash == std::string::npos || dot < 1 || dash < dot) {
        return kUnknownVersion;
    }
    const std::string major = version.substr(1, dot - 1);
    const std::string minor = version.substr(dot + 1, dash - dot - 1);
    const std::string build = version.substr(dash + 1);
    if (major.size() > 3 || minor.size() > 3 || build.size() > 3 || !allDigits(major) ||
        !allDigits(minor) || !allDigits(build)) {
        return kUnknownVersion;
    }
    std::string text = "000.000.000";
    placeGroup(text, 2, major);
    placeGroup(text, 6, minor);
    placeGroup(text, 10, build);
    return text;
}
