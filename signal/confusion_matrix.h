// Counts of decisions by the class that was true (row) and the class
// reported (column), with the scores read from them. Class 0 is rest (no
// gesture), classes 1 to G the model's gestures in position order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class ConfusionMatrix {
  public:
    // Rest and `gestures` gestures.
    explicit ConfusionMatrix(std::size_t gestures = 0);

    // Classes 0 to G; a decision naming any other class is not counted.
    void add(std::size_t trueClass, std::size_t reportedClass);

    std::size_t classes() const { return size; }
    std::uint32_t count(std::size_t trueClass, std::size_t reportedClass) const;
    std::uint32_t total() const;
    std::uint32_t truly(std::size_t trueClass) const;         // row sum
    std::uint32_t reported(std::size_t reportedClass) const;  // column sum

    // Share of decisions that were right; nothing with no decision.
    std::optional<float> accuracy() const;
    // Of the decisions where this class was true, the share that reported it.
    std::optional<float> recall(std::size_t trueClass) const;
    // Of the decisions that reported this class, the share where it was true.
    std::optional<float> precision(std::size_t reportedClass) const;

    struct Pair {
        std::size_t first = 0;  // gesture positions, first < second
        std::size_t second = 0;
        std::uint32_t windows = 0;  // decisions of either taken for the other
    };
    // The two gestures taken for each other most often (the lowest positions
    // among equals); nothing when no gesture was taken for another.
    std::optional<Pair> mostConfused() const;

  private:
    std::size_t size;
    std::vector<std::uint32_t> counts;  // row-major, size x size
};
