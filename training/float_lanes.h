// Four floats processed side by side. Each lane does exactly the scalar
// single-precision operation (no fused multiply-add: the build disables
// contraction), so a lane's result is bit for bit the scalar result.
// Internal to the training numerics.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline constexpr std::size_t kLanes = 4;  // one SSE register

using FloatLanes = float __attribute__((vector_size(kLanes * sizeof(float))));
using MaskLanes = std::int32_t __attribute__((vector_size(kLanes * sizeof(std::int32_t))));

// Rounds a count up to a whole number of lane groups.
inline std::size_t paddedToLanes(std::size_t count) {
    return (count + kLanes - 1) / kLanes * kLanes;
}

inline FloatLanes loadLanes(const float* from) {
    FloatLanes lanes;
    std::memcpy(&lanes, from, sizeof lanes);
    return lanes;
}

inline void storeLanes(float* to, FloatLanes lanes) {
    std::memcpy(to, &lanes, sizeof lanes);
}

inline MaskLanes loadMask(const std::int32_t* from) {
    MaskLanes lanes;
    std::memcpy(&lanes, from, sizeof lanes);
    return lanes;
}

inline FloatLanes broadcastLanes(float value) {
    return FloatLanes{} + value;
}
