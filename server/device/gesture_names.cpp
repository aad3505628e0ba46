#include "server/device/gesture_names.h"

namespace {

constexpr const char* kGestureNames[] = {
    "Relax",       "Fist",        "Spread",      "WaveIn",      "WaveOut",     "Pinch",
    "Shoot",       "UserDefine1", "UserDefine2", "UserDefine3", "UserDefine4", "UserDefine5",
    "UserDefine6", "UserDefine7", "UserDefine8", "UserDefine9",
};

constexpr const char* kStatusNames[] = {nullptr, "ReCenter", "UsbPlugged", "UsbPulled",
                                        "Motionless"};

}  // namespace

const char* gestureName(std::uint8_t gesture) {
    return gesture < std::size(kGestureNames) ? kGestureNames[gesture] : "Undefined";
}

std::string deviceStatusName(std::uint8_t status) {
    if (status >= 1 && status < std::size(kStatusNames)) {
        return kStatusNames[status];
    }
    return "Undefined:" + std::to_string(status);
}
