// Where each raw EMG packet goes: nowhere, into the recording window (with a
// thinned preview straight to every client), or into half-overlapping windows
// for the identification thread; and, while idle or identifying, the preview
// that clients asked for.
//
// route runs on the SDK callback thread and does a bounded amount of work per
// packet; the main thread changes where packets go through the other methods,
// and a disconnection stops routing on the SDK callback thread at once. One
// mutex guards every field, and is held while a preview frame or a preview
// answer is handed to the clients, so that 12 00 comes before the preview's
// first frame and 12 FD after its last. Lock order: this lock, then the
// identification window cutter's, then the client registry's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/event_record.h"
#include "base/mutex.h"
#include "signal/identify_window_cutter.h"

class ClientRegistry;
class EventQueue;

// What a recording window is to hold, fixed when it starts.
struct RecordingPlan {
    std::uint32_t window = 0;  // its identity (server/device/acquisition_state.h)
    std::uint8_t gesture = 0;
    std::uint8_t channelMask = 0;  // the channels each frame holds, one byte each
    std::uint32_t frameLimit = 0;  // the frames that fill it
};

// The preview of a packet of n channels: 7, then rows 0, 4, 8 and 12.
std::vector<std::uint8_t> buildPreviewFrame(const std::uint8_t* packet, std::size_t length);

class RawRouting {
  public:
    // Identification windows go to `identify` (on the SDK callback thread);
    // a full recording window queues INTERNAL_EVT 1 with its identity on `events`.
    RawRouting(EventQueue& events, ClientRegistry& clients,
               std::function<void(EventRecord window)> identify);
    RawRouting(const RawRouting&) = delete;
    RawRouting& operator=(const RawRouting&) = delete;

    // Main thread, before the raw stream is switched on: packets of the plan's
    // channel layout (16 frames each) are appended until the window holds its
    // frameLimit frames, the last packet cut to the frame; whatever comes
    // after that, or after stopRecording, is left out. So a window holds
    // exactly its frames however late the main loop gets to it.
    void startRecording(const RecordingPlan& plan) EXCLUDES(lock);
    // No packet goes into the window any more. True when it was full by then.
    bool stopRecording() EXCLUDES(lock);
    RecordingPlan recordingPlan() const EXCLUDES(lock);
    // Bytes in the window so far.
    std::size_t recordedBytes() const EXCLUDES(lock);
    // The window's bytes, moved out; the buffer is empty afterwards.
    std::vector<std::uint8_t> takeRecording() EXCLUDES(lock);

    // Main thread, before the raw stream is switched on for identification:
    // the window cutter is emptied for windows of windowLength bytes, each
    // `step` bytes after the last (identify_window_cutter.h), and packets go to it.
    void startIdentify(std::uint32_t windowLength, std::uint32_t step) EXCLUDES(lock);
    // Packets go nowhere (but to an open preview) unless recording.
    void stopIdentify() EXCLUDES(lock);

    // Every client hears 12 00 (its own answer for `owner`), then the preview's frames.
    void openPreview(const Origin& owner) EXCLUDES(lock);
    // No frame follows; when the preview was on, every client hears 12 FD
    // (its own answer for the preview's owner, and for `stopper` when given)
    // and true is returned.
    bool closePreview(const std::optional<Origin>& stopper = std::nullopt) EXCLUDES(lock);
    bool previewOpen() const EXCLUDES(lock);

    // Main thread: whether the armband's own gestures go to the clients
    // (while streaming them); read by the SDK callback thread for each one.
    void setGestureStream(bool on) EXCLUDES(lock);
    bool gestureStreamOn() const EXCLUDES(lock);

    // SDK callback thread, when the link goes: packets and gestures go
    // nowhere, the recording window takes nothing more and the preview
    // closes (12 FD).
    // True when the recording window was full by then.
    bool stop() EXCLUDES(lock);

    // SDK callback thread: one raw packet.
    void route(const std::vector<std::uint8_t>& packet) EXCLUDES(lock);

    // For the tests of what the cutter holds.
    const IdentifyWindowCutter& cutter() const { return identifyAccumulator; }

  private:
    enum class Route { nowhere, recording, identify };
    enum class Append { kept, filled, dropped };

    Append appendToWindow(const std::vector<std::uint8_t>& packet) REQUIRES(lock);
    bool closePreviewLocked(const std::optional<Origin>& stopper) REQUIRES(lock);

    EventQueue& events;
    ClientRegistry& clients;
    const std::function<void(EventRecord)> identify;

    mutable Mutex lock;
    Route destination GUARDED_BY(lock) = Route::nowhere;
    // The recording window's bytes (rawBuffer).
    RecordingPlan plan GUARDED_BY(lock);
    std::vector<std::uint8_t> rawBuffer GUARDED_BY(lock);
    bool full GUARDED_BY(lock) = false;
    bool foreignLogged GUARDED_BY(lock) = false;  // a packet of another layout was logged
    // Cuts identification windows; it has a lock of its own, taken inside this one.
    IdentifyWindowCutter identifyAccumulator;
    bool preview GUARDED_BY(lock) = false;
    Origin previewOwner GUARDED_BY(lock);
    bool gestures GUARDED_BY(lock) = false;
};
