#include "signal/identifier.h"

namespace {

// Where the baseline of each channel starts after a model load.
constexpr std::array<float, kMaxChannels> kInitialBaseline = {123.69f, 122.67f, 122.28f, 122.02f,
                                                              122.14f, 122.17f, 122.20f, 121.80f};

}  // namespace

void Identifier::reset(int channelCount, int gesturesInModel) {
    *this = Identifier{};
    baseline = kInitialBaseline;
    if (channelCount < 1 || channelCount > kMaxChannels || gesturesInModel < 2 ||
        gesturesInModel > kMaxGestures) {
        return;
    }
    channels = static_cast<std::uint8_t>(channelCount);
    gestures = static_cast<std::uint8_t>(gesturesInModel);
}
