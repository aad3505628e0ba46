// Cuts the raw stream into half-overlapping identification windows.
//
// Packets are appended to a first-in-first-out byte accumulator. As soon as it
// holds more than one window length, its first window-length bytes become a
// window and the first half of them is dropped, so each window starts half a
// window after the one before (or, when a shorter step is asked for, that many
// bytes after). At most one window is cut per packet.
//
// The SDK callback thread cuts, the main thread resets before switching the raw
// stream on; one mutex guards the accumulator, so the two never overlap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/event_record.h"
#include "base/mutex.h"

class IdentifyWindowCutter {
  public:
    IdentifyWindowCutter() = default;
    IdentifyWindowCutter(const IdentifyWindowCutter&) = delete;
    IdentifyWindowCutter& operator=(const IdentifyWindowCutter&) = delete;

    // Empties the accumulator; windows are windowLength bytes from now on,
    // each starting `step` bytes after the last (0: half a window, as it has
    // always been; a step above half a window is taken as half). A length
    // below 2 cuts nothing (every packet is dropped).
    void reset(std::uint32_t windowLength, std::uint32_t step = 0);

    // Appends the packet; returns the window it completes, or an empty pointer.
    // If packets outgrow half a window (the channel configuration changed under
    // a running identification) the oldest bytes are dropped once more than two
    // windows are held, so windows never lag the stream by more than that.
    EventRecord cut(std::span<const std::uint8_t> packet);

    std::size_t heldBytes() const;

  private:
    mutable Mutex lock;
    std::vector<std::uint8_t> bytes GUARDED_BY(lock);  // bytes before readOffset are spent
    std::size_t readOffset GUARDED_BY(lock) = 0;
    std::uint32_t length GUARDED_BY(lock) = 0;
    std::uint32_t stride GUARDED_BY(lock) = 0;  // bytes from one window to the next
};
