// The armband's EMG rate.
#pragma once

inline constexpr double kEmgFramesPerSecond = 650.0;
