// Which gesture a class position stands for.
#pragma once

#include <cstdint>

// The k-th set bit of gestureMask (counted from bit 0) is class position k; its
// gesture number is the bit position + 1. Class 0, a class above 8, or one past
// the last set bit gives 0xFF (no gesture).
std::uint8_t gestureNumberFor(int classPosition, std::uint8_t gestureMask);
