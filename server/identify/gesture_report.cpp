#include "server/identify/gesture_report.h"

#include "base/log.h"
#include "protocol/wire.h"
#include "server/device/acquisition_state.h"
#include "server/net/client_registry.h"

std::uint8_t gestureNumberFor(int classPosition, std::uint8_t gestureMask) {
    if (classPosition > 8) {
        return kNoGesture;
    }
    int count = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if ((gestureMask >> bit) & 1u) {
            ++count;
            if (count == classPosition) {
                return static_cast<std::uint8_t>(bit + 1);
            }
        }
    }
    return kNoGesture;
}

void reportGesture(int result, std::uint8_t& lastIdentified, std::uint8_t gestureMask,
                   const ClientRegistry& clients, std::vector<std::uint8_t>& response) {
    if (result < 0 || result > 0xFF || result == lastIdentified) {
        return;
    }
    lastIdentified = static_cast<std::uint8_t>(result);
    response.clear();
    response.push_back(kIdentifyAnswer);
    response.push_back(gestureNumberFor(result, gestureMask));
    clients.sendToClients(response.data(), response.size());
    logLine("gesture:%d", result);
    response.clear();
}
