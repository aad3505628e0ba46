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

// What a recording window is to hold, fixed when it starts.
struct RecordingPlan {
    std::uint32_t window = 0;  // its identity (core/recording_timer.h)
    std::uint8_t gesture = 0;
    std::uint8_t channelMask = 0;  // the channels each frame holds, one byte each
    std::uint32_t frameLimit = 0;  // the frames that fill it
};

// The bytes of the recording window under way. The window is counted where its
// packets arrive: packets of its channel layout (16 frames each) are appended
// until it holds frameLimit frames, the last one cut to the frame; whatever
// the armband sends after that, or after stop, is left out. So a window holds
// exactly its frames however late the main loop gets to it.
//
// The SDK callback thread appends; the main thread starts, stops and reads;
// one lock guards every field.
class RawBuffer {
  public:
    enum class Append {
        kept,     // the packet's frames went in; the window is not full yet
        filled,   // they filled the window: this happens once per window
        dropped,  // nothing went in (full, stopped, no window, another layout)
    };

    // Main thread, before the raw stream is switched on: empties the buffer for `plan`.
    void start(const RecordingPlan& plan) EXCLUDES(lock);
    // Empties the buffer; nothing is appended until the next start.
    void clear() EXCLUDES(lock);
    // SDK callback thread.
    Append append(const std::uint8_t* data, std::size_t length) EXCLUDES(lock);
    // Main thread: no packet goes in any more. True when the window was full by then.
    bool stop() EXCLUDES(lock);
    bool filled() const EXCLUDES(lock);
    RecordingPlan plan() const EXCLUDES(lock);
    std::size_t size() const EXCLUDES(lock);
    // Calls `reader` with the bytes while holding the lock.
    void read(const std::function<void(const std::uint8_t* data, std::size_t length)>& reader) const
        EXCLUDES(lock);

  private:
    mutable Mutex lock;
    RecordingPlan current GUARDED_BY(lock);
    std::vector<std::uint8_t> bytes GUARDED_BY(lock);
    bool full GUARDED_BY(lock) = false;
    bool stopped GUARDED_BY(lock) = true;
    bool foreignLogged GUARDED_BY(lock) = false;  // a packet of another layout was logged
};

// Owner: the process. The SDK callback thread appends; the main thread starts,
// stops and reads.
extern RawBuffer rawBuffer;

class IdentifyWindowCutter;
// Cuts the raw stream into identification windows while identifying; reset by
// the start of identification before the raw stream is switched on. Owner: the
// process (never destroyed); the SDK callback thread cuts, the main thread resets.
extern IdentifyWindowCutter& identifyAccumulator;

// The preview of a packet of n channels: 7, then rows 0, 4, 8 and 12.
std::vector<std::uint8_t> buildPreviewFrame(const std::uint8_t* packet, std::size_t length);

class PreviewSwitch;
// While recording, the packet that fills the window queues INTERNAL_EVT 1 with
// the window's identity: the window is over. `preview`, when given, forwards
// the preview that clients asked for while idle or identifying.
void routeRawPacket(const std::vector<std::uint8_t>& packet, PreviewSwitch* preview = nullptr);
