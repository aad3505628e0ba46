// The end of a recording window: the recording is appended to its gesture's
// raw file, "raw" + gesture number + ".bin", which only ever grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The INTERNAL_EVT handler (main thread). Code 1 with the identity of the open
// recording window (queued when the window holds its frames) closes it: idle
// mode, rawBuffer appended to the gesture's raw file and logged with the
// channels it was recorded with, 06 00 to every client (06 FF when the file
// could not be written), then the raw stream switched off; a window no longer
// open ends nothing. Codes kConnectGivenUp and kScanGivenUp hand over to
// TesselHandle::giveUpConnect and giveUpScan.
void handleInternalEvents(const std::uint8_t* payload, std::size_t length);

std::string rawFileName(std::uint8_t gesture);

// Appends the bytes to the file, creating it if absent. On any failure the
// file is cut back to the length it had, logged, and false is returned.
bool appendToRawFile(const std::string& name, const std::uint8_t* data, std::size_t length);
