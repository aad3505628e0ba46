#include "signal/written_value.h"

#include <cstdio>
#include <cstdlib>

float asWrittenAsText(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    return std::strtof(text, nullptr);
}
