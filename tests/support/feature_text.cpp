#include "tests/support/feature_text.h"

#include <cstdio>

std::string featureText(const std::vector<float>& values) {
    std::string text;
    char number[64];
    for (float value : values) {
        std::snprintf(number, sizeof number, "%f ", static_cast<double>(value));
        text += number;
    }
    return text;
}
