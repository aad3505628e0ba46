// The analyses of the recordings that the inventory shows, kept per gesture
// with what its files were when they were analysed, so that the inventory is
// answered without reading the recordings again. An analysis reads a whole
// recording (up to 16 MiB), which the background worker does; the cache
// says which analyses are missing or out of date, counts the analyses under
// way and keeps whoever waits for them.
//
// Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/whole_file.h"
#include "pipeline/recording_inventory.h"

class InventoryCache {
  public:
    // The gesture's raw file and window log as they are now, and the channels
    // its frames are read with.
    struct Key {
        FileStamp raw;
        FileStamp log;
        std::uint8_t channelMask = 0;
        bool operator==(const Key&) const = default;
    };
    static Key keyOf(int gesture, std::uint8_t channelMask);

    // The analysis of the gesture made of the files as `key` says they are.
    std::optional<RecordingActivity> find(int gesture, const Key& key) const;
    void store(int gesture, const Key& key, const RecordingActivity& activity);

    // Analyses under way, of every gesture and of one.
    void started(int gesture);
    // One ended; when none is left, whoever waited runs.
    void ended(int gesture);
    bool analysing(int gesture) const;
    // Runs `then` once no analysis is under way (at once when none is).
    void whenSettled(std::function<void()> then);
    bool settled() const { return underWay == 0; }
    // Forgets whoever waits, without running them (at shutdown).
    void dropWaiting() { waiting.clear(); }

    // The whole inventory as last given out (its JSON), and what it was made
    // of: the files of every gesture, the configuration and the names.
    struct Made {
        std::array<Key, 8> files;
        std::uint8_t channelMask = 0;
        std::uint8_t gestureMask = 0;
        FileStamp names;
        bool operator==(const Made&) const = default;
    };
    static Made madeOf(std::uint8_t channelMask, std::uint8_t gestureMask);
    // The body kept for `made`, if it is the one kept.
    std::shared_ptr<const std::string> answered(const Made& made) const;
    void keepAnswer(const Made& made, std::shared_ptr<const std::string> body);

  private:
    struct Kept {
        Key key;
        RecordingActivity activity;
    };
    std::array<std::optional<Kept>, 8> kept;
    std::array<int, 8> underWayOf{};
    int underWay = 0;
    std::vector<std::function<void()>> waiting;
    std::optional<Made> lastMade;
    std::shared_ptr<const std::string> lastBody;
};
