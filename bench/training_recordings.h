// Realistic raw recordings for the training benchmarks, made by the simulated
// armband's wearer: 650 frames per second, the wearer resting and holding the
// gesture again and again, in 30-second recording windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kRecordingSeconds = 30;

// The raw bytes of `recordings` 30-second windows of the simulated gesture
// `gesture` (1..15) on the first `channels` electrodes, one after another as
// the raw file holds them. The same arguments always give the same bytes.
std::vector<std::uint8_t> realisticRecording(int gesture, int channels, int recordings,
                                             std::uint32_t seed);

// Writes "raw" + n + ".bin" of gesture n for n = 1..gestures into the working
// directory.
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
