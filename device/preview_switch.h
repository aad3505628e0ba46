// The thinned raw preview that clients ask for while the server is idle or
// identifying (a recording sends its own, raw_data_routing.h). Its answers and
// its frames reach clients in the order they happen: 12 00 before the first
// frame, 12 FD after the last. The main thread opens it; the main thread or
// the SDK callback thread (a disconnection) closes it; the callback thread
// forwards frames. `on` is guarded by `lock`, which is held while a frame or
// an answer is handed to the clients, so the two never cross.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/mutex.h"

class PreviewSwitch {
  public:
    // Every client hears 12 00, then the preview's frames.
    void open() EXCLUDES(lock);
    // No frame follows; when the preview was on, every client hears 12 FD
    // and true is returned.
    bool close() EXCLUDES(lock);
    bool isOpen() const EXCLUDES(lock);
    // The preview frame of a raw packet goes to every client while it is on.
    void forward(const std::uint8_t* packet, std::size_t length) EXCLUDES(lock);

  private:
    mutable Mutex lock;
    bool on GUARDED_BY(lock) = false;
};
