// Counts of held-out windows by the gesture recorded (row) and the gesture the
// pair classifiers' vote chose (column), with the scores read from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class ConfusionMatrix {
  public:
    explicit ConfusionMatrix(std::size_t gestures = 0);

    // Positions are 1-based class positions, as the classifier returns them.
    void add(std::size_t recordedPosition, std::size_t chosenPosition);

    std::size_t gestures() const { return size; }
    std::uint32_t count(std::size_t recordedPosition, std::size_t chosenPosition) const;
    std::uint32_t total() const;
    std::uint32_t recorded(std::size_t position) const;  // row sum
    std::uint32_t chosen(std::size_t position) const;    // column sum

    // Share of windows classified as recorded; nothing with no window.
    std::optional<float> accuracy() const;
    // Of the windows of this gesture, the share classified as it.
    std::optional<float> recall(std::size_t position) const;
    // Of the windows classified as this gesture, the share that were it.
    std::optional<float> precision(std::size_t position) const;

    struct Pair {
        std::size_t first = 0;  // positions, first < second
        std::size_t second = 0;
        std::uint32_t windows = 0;  // windows of either taken for the other
    };
    // The two gestures taken for each other most often (the lowest positions
    // among equals); nothing when no window was misclassified.
    std::optional<Pair> mostConfused() const;

  private:
    std::size_t size;
    std::vector<std::uint32_t> counts;  // row-major, size x size
};
