#include "gesture_patterns.h"

namespace tessel::sim {
namespace {

// Rows: gesture 0..15; columns: electrodes 0..7 around the forearm (0..2 over
// the flexors, 3..6 over the extensors).
constexpr std::uint8_t kPatterns[kGestures][kElectrodes] = {
    {0, 0, 0, 0, 0, 0, 0, 0},          // Relax
    {20, 22, 19, 15, 13, 15, 17, 19},  // Fist: everything, strongly
    {6, 8, 14, 20, 24, 21, 12, 7},     // Spread: extensors
    {23, 19, 11, 6, 5, 6, 10, 20},     // WaveIn: flexors
    {8, 6, 8, 13, 19, 24, 20, 11},     // WaveOut
    {15, 17, 10, 5, 4, 5, 7, 10},      // Pinch: flexors, mildly
    {9, 13, 19, 15, 8, 6, 5, 6},       // Shoot
    {4, 5, 6, 16, 21, 9, 5, 4},        // UserDefine1
    {18, 9, 5, 4, 5, 9, 17, 24},       // UserDefine2
    {12, 9, 12, 9, 12, 9, 12, 9},      // UserDefine3
    {7, 16, 22, 11, 6, 12, 20, 9},     // UserDefine4
    {24, 12, 6, 10, 20, 10, 6, 12},    // UserDefine5
    {5, 7, 10, 14, 10, 7, 14, 22},     // UserDefine6
    {12, 22, 17, 7, 5, 4, 4, 6},       // UserDefine7
    {5, 5, 6, 6, 10, 18, 24, 19},      // UserDefine8
    {17, 8, 8, 17, 8, 8, 17, 8},       // UserDefine9
};

constexpr float kOffsets[kElectrodes] = {123.1f, 122.4f, 123.7f, 122.8f,
                                         123.4f, 122.2f, 123.9f, 122.6f};

}  // namespace

float gestureAmplitude(int gesture, int electrode) {
    if (gesture < 0 || gesture >= kGestures || electrode < 0 || electrode >= kElectrodes) {
        return 0.0f;
    }
    return static_cast<float>(kPatterns[gesture][electrode]);
}

float electrodeOffset(int electrode) {
    if (electrode < 0 || electrode >= kElectrodes) {
        return 123.0f;
    }
    return kOffsets[electrode];
}

}  // namespace tessel::sim
