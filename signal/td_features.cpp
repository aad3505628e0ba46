#include "signal/td_features.h"

#include <cmath>
#include <cstdlib>

namespace {

// Below any real signal: a flat channel reads log(kFloor).
constexpr float kFloor = 0.05f;

}  // namespace

void tdFeatures(const std::uint8_t* window, std::size_t frames, std::size_t channels, float* out) {
    const float steps = static_cast<float>(frames - 1);
    for (std::size_t c = 0; c < channels; ++c) {
        const std::uint8_t* x = window + c;
        std::int32_t sum = 0;  // exact: at most 255 x frames
        for (std::size_t t = 0; t < frames; ++t) {
            sum += x[t * channels];
        }
        const float mean = static_cast<float>(sum) / static_cast<float>(frames);
        float before = static_cast<float>(x[0]) - mean;
        float absolute = std::fabs(before);
        std::int32_t length = 0;
        std::int32_t crossings = 0;
        std::int32_t turns = 0;
        int lastMove = 0;
        for (std::size_t t = 1; t < frames; ++t) {
            const int step = x[t * channels] - x[(t - 1) * channels];
            const float centred = static_cast<float>(x[t * channels]) - mean;
            absolute = absolute + std::fabs(centred);
            length += std::abs(step);
            if ((before < 0.0f) != (centred < 0.0f)) {
                ++crossings;
            }
            if (step != 0) {
                if (step * lastMove < 0) {
                    ++turns;
                }
                lastMove = step;
            }
            before = centred;
        }
        float* f = out + c * kTdFeaturesPerChannel;
        f[0] = std::log(absolute / static_cast<float>(frames) + kFloor);
        f[1] = std::log(static_cast<float>(length) / steps + kFloor);
        f[2] = static_cast<float>(crossings) / steps;
        f[3] = static_cast<float>(turns) / steps;
    }
}

float tdLevel(const float* features, std::size_t channels) {
    float level = 0.0f;
    for (std::size_t c = 0; c < channels; ++c) {
        level = level + features[c * kTdFeaturesPerChannel];
    }
    return level / static_cast<float>(channels);
}
