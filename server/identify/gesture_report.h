// Telling the clients which gesture is recognised: the two bytes 8 and the
// gesture number (0xFF for no gesture), sent only when the result changes.
// Called on the identification thread.
#pragma once

#include <cstdint>
#include <vector>

class ClientRegistry;

// The k-th set bit of gestureMask (counted from bit 0) is class position k; its
// gesture number is the bit position + 1. Class 0, a class above 8, or one past
// the last set bit gives 0xFF (no gesture).
std::uint8_t gestureNumberFor(int classPosition, std::uint8_t gestureMask);

// When result (a class position, 0 for none) differs from lastIdentified, it
// becomes lastIdentified and every client is sent 8 and its gesture number
// under gestureMask. response is the caller's reusable buffer; it is left
// empty. A negative result reports nothing.
void reportGesture(int result, std::uint8_t& lastIdentified, std::uint8_t gestureMask,
                   const ClientRegistry& clients, std::vector<std::uint8_t>& response);
