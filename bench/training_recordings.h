// Realistic raw recordings for the training benchmarks: an 8-channel armband
// at 650 frames per second, a wearer who rests about 2 s and holds the gesture
// about 2.5 s, again and again, for 30-second windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kFramesPerSecond = 650;
inline constexpr int kRecordingSeconds = 30;

// The raw bytes of `recordings` 30-second windows of gesture `gesture`
// (0-based) at `channels` channels, one after another as the raw file holds
// them. The same arguments always give the same bytes.
std::vector<std::uint8_t> realisticRecording(int gesture, int channels, int recordings,
                                             std::uint32_t seed);

// Writes "raw" + n + ".bin" for n = 1..gestures into the working directory.
void writeRealisticRawFiles(int gestures, int channels, int recordings, std::uint32_t seed);

// A fresh temporary working directory for the life of the object.
class BenchDirectory {
  public:
    BenchDirectory();
    ~BenchDirectory();
    BenchDirectory(const BenchDirectory&) = delete;
    BenchDirectory& operator=(const BenchDirectory&) = delete;

  private:
    std::string previous_;
    std::string path_;
};
