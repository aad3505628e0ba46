// The thinned raw signal that the server sends while recording: one message of
// 7 and four rows of one unsigned 8-bit sample per channel (rows 0, 4, 8 and
// 12 of a raw packet of 16 frames).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/wire.h"

struct PreviewFrame {
    std::size_t channels = 0;
    // rows[r * channels + c]: sample of channel c in row r.
    std::vector<std::uint8_t> samples;
};

// False unless `message` is 7 followed by four rows of one to eight channels.
bool parsePreviewFrame(const std::vector<std::uint8_t>& message, PreviewFrame& frame);

// How much the muscles under the armband are working, from one frame: for each
// channel the spread (largest minus smallest sample) of its four rows, averaged
// over the channels. 0 for a flat signal, whatever each electrode's offset;
// 255 at most.
float previewActivity(const PreviewFrame& frame);
