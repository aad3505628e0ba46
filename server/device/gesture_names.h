#pragma once

#include <cstdint>
#include <string>

// 0 "Relax", 1 "Fist", 2 "Spread", 3 "WaveIn", 4 "WaveOut", 5 "Pinch",
// 6 "Shoot", 7..15 "UserDefine1".."UserDefine9", above 15 "Undefined".
const char* gestureName(std::uint8_t gesture);

// 1 "ReCenter", 2 "UsbPlugged", 3 "UsbPulled", 4 "Motionless", any other
// value "Undefined:" and the value in decimal.
std::string deviceStatusName(std::uint8_t status);
