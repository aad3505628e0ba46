// Where each raw EMG packet goes, by data mode: while recording into rawBuffer
// with a thinned preview straight to every client; while identifying into
// half-overlapping windows for the identification thread; otherwise nowhere.
// The same preview goes to every client while idle or identifying when they
// asked for it.
//
// routeRawPacket runs on the SDK callback thread and does a bounded amount of
// work per packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/mutex.h"

// The bytes of the recording in progress. Appended on the SDK callback thread,
// emptied and read on the main thread; one lock keeps a packet still in flight
// from overlapping a read.
class RawBuffer {
  public:
    void clear();
    void append(const std::uint8_t* data, std::size_t length);
    std::size_t size() const;
    // Calls `reader` with the bytes while holding the lock.
    void read(
        const std::function<void(const std::uint8_t* data, std::size_t length)>& reader) const;

  private:
    mutable Mutex lock;
    std::vector<std::uint8_t> bytes GUARDED_BY(lock);
};

// Owner: the process. The SDK callback thread appends; the main thread empties
// and reads.
extern RawBuffer rawBuffer;

class IdentifyWindowCutter;
// Cuts the raw stream into identification windows while identifying; reset by
// the start of identification before the raw stream is switched on. Owner: the
// process (never destroyed); the SDK callback thread cuts, the main thread resets.
extern IdentifyWindowCutter& identifyAccumulator;

// The preview of a packet of n channels: 7, then rows 0, 4, 8 and 12.
std::vector<std::uint8_t> buildPreviewFrame(const std::uint8_t* packet, std::size_t length);

class PreviewSwitch;
// `preview`, when given, forwards the preview that clients asked for while
// idle or identifying.
void routeRawPacket(const std::vector<std::uint8_t>& packet, PreviewSwitch* preview = nullptr);
