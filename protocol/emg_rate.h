// The armband's EMG rate: frames a second, each frame one sample per enabled
// channel. The one definition for the server and its tools (the simulated
// armband in tessel/ keeps its own, as the armband does).
#pragma once

inline constexpr double kEmgFramesPerSecond = 650.0;
