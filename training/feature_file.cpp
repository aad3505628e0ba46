#include "training/feature_file.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/log.h"
#include "core/whole_file.h"

namespace {

// Feature files come from raw files of at most 16 MiB: far less than this.
constexpr std::size_t kMaxFeatureFileBytes = 256u * 1024 * 1024;

}  // namespace

bool readFeatureFile(const std::string& fileName, std::vector<float>& values) {
    std::string text;
    if (readWholeFile(fileName, kMaxFeatureFileBytes, text) != FileRead::Read) {
        return false;
    }
    // text is terminated by its zero byte, so strtof never reads past it; a
    // zero byte inside the file is a token that is not a number.
    const char* next = text.c_str();
    const char* const end = next + text.size();
    for (;;) {
        while (std::isspace(static_cast<unsigned char>(*next))) {
            ++next;
        }
        if (next == end) {
            break;
        }
        char* after = nullptr;
        const float value = std::strtof(next, &after);
        if (after == next || !std::isfinite(value)) {
            logLine(
                "readFeatureFile, %s: a token that is not a number at byte %zu ends the reading",
                fileName.c_str(), static_cast<std::size_t>(next - text.c_str()));
            break;
        }
        values.push_back(value);
        next = after;
    }
    return true;
}

std::string featureFileName(int n) {
    return "feature" + std::to_string(n) + ".txt";
}

float asWrittenAsText(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    return std::strtof(text, nullptr);
}
