// A small deterministic random source: the same seed gives the same numbers on
// every machine and standard library (no std distributions, whose output is
// left to the library).
#pragma once

#include <cstdint>

namespace tessel::sim {

// Mixes a seed and a stream number into one well-spread 64-bit seed.
std::uint64_t mixSeed(std::uint64_t seed, std::uint64_t stream);

class Random {
  public:
    explicit Random(std::uint64_t seed = 0);

    std::uint32_t next32();
    // Uniform in [0, 1).
    float uniform();
    // Uniform in [low, high).
    float uniform(float low, float high);
    // Standard normal (Box-Muller).
    float gaussian();

  private:
    std::uint64_t state[4];
    float spare = 0.0f;
    bool hasSpare = false;
};

}  // namespace tessel::sim
