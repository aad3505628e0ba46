// Switching the armband's streams for the commands, without waiting: a start
// sets up the state first and hears the armband's answer later; a stop takes
// effect at once and switches off without waiting. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "base/event_record.h"

class ServerContext;

// Switches the stream on for a start (0x80 raw EMG, 0x40 gestures). `outcome`
// runs on the main thread with the armband's status, unless something has
// started or stopped a stream since: the start was overtaken, and an accepted
// switch is switched off again when nothing wants a stream any more.
void switchOnForStart(ServerContext& server, std::uint32_t flags,
                      std::function<void(std::uint8_t status)> outcome);

// Every stream off, without waiting for the armband; any start still waiting
// for its answer is overtaken.
void switchOffNow(ServerContext& server);

// Before anything else switches the raw stream (a recording, the armband's
// gesture stream, the end of identification): a preview that runs, or is
// being started, ends, and every client hears 12 FD.
void endPreview(ServerContext& server);

// After leaving RECORD_MODE: the open window is abandoned (its end writes and
// answers nothing), the timer stopped and the stream switched off. Returns
// whom the window's answer is for when one was open.
std::optional<Origin> abandonRecording(ServerContext& server);
