#include "random.h"

#include <cmath>

namespace tessel::sim {
namespace {

std::uint64_t splitMix(std::uint64_t& x) {
    x += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = x;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t rotateLeft(std::uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

}  // namespace

std::uint64_t mixSeed(std::uint64_t seed, std::uint64_t stream) {
    std::uint64_t x = seed;
    const std::uint64_t a = splitMix(x);
    x = stream ^ a;
    return splitMix(x);
}

Random::Random(std::uint64_t seed) {
    std::uint64_t x = seed;
    for (std::uint64_t& word : state) {
        word = splitMix(x);
    }
}

std::uint32_t Random::next32() {
    // xoshiro256**
    const std::uint64_t result = rotateLeft(state[1] * 5, 7) * 9;
    const std::uint64_t t = state[1] << 17;
    state[2] ^= state[0];
    state[3] ^= state[1];
    state[1] ^= state[2];
    state[0] ^= state[3];
    state[2] ^= t;
    state[3] = rotateLeft(state[3], 45);
    return static_cast<std::uint32_t>(result >> 32);
}

float Random::uniform() {
    // 24 random bits: every value is exact in a float and below 1.
    return static_cast<float>(next32() >> 8) * (1.0f / 16777216.0f);
}

float Random::uniform(float low, float high) {
    return low + (high - low) * uniform();
}

float Random::gaussian() {
    if (hasSpare) {
        hasSpare = false;
        return spare;
    }
    const float u1 = 1.0f - uniform();  // (0, 1]: the logarithm stays finite
    const float u2 = uniform();
    const float radius = std::sqrt(-2.0f * std::log(u1));
    const float angle = 6.28318530718f * u2;
    spare = radius * std::sin(angle);
    hasSpare = true;
    return radius * std::cos(angle);
}

}  // namespace tessel::sim
