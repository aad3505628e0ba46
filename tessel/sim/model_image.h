// The gesture model image that the armband accepts, little-endian:
//   0      channel mask (not 0)
//   1      gesture count, 2..8
//   2..3   data length L: a multiple of 16, at most 1008, exactly the pair
//          weights (count x (count - 1) / 2 rows of channels + 1 floats)
//          rounded up to 16
//   4..47  zero
//   48..   L bytes of weights
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessel::sim {

inline constexpr std::size_t kModelHeaderBytes = 48;
inline constexpr std::size_t kLargestModelData = 1008;

// True when the bytes form a complete image by the layout above.
bool isValidModelImage(const std::uint8_t* data, std::size_t length);

}  // namespace tessel::sim
