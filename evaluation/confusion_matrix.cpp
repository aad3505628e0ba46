#include "evaluation/confusion_matrix.h"

ConfusionMatrix::ConfusionMatrix(std::size_t gestures)
    : size(gestures), counts(gestures * gestures, 0) {}

void ConfusionMatrix::add(std::size_t recordedPosition, std::size_t chosenPosition) {
    if (recordedPosition >= 1 && recordedPosition <= size && chosenPosition >= 1 &&
        chosenPosition <= size) {
        ++counts[(recordedPosition - 1) * size + chosenPosition - 1];
    }
}

std::uint32_t ConfusionMatrix::count(std::size_t recordedPosition,
                                     std::size_t chosenPosition) const {
    if (recordedPosition < 1 || recordedPosition > size || chosenPosition < 1 ||
        chosenPosition > size) {
        return 0;
    }
    return counts[(recordedPosition - 1) * size + chosenPosition - 1];
}

std::uint32_t ConfusionMatrix::total() const {
    std::uint32_t sum = 0;
    for (std::uint32_t c : counts) {
        sum += c;
    }
    return sum;
}

std::uint32_t ConfusionMatrix::recorded(std::size_t position) const {
    std::uint32_t sum = 0;
    for (std::size_t k = 1; k <= size; ++k) {
        sum += count(position, k);
    }
    return sum;
}

std::uint32_t ConfusionMatrix::chosen(std::size_t position) const {
    std::uint32_t sum = 0;
    for (std::size_t k = 1; k <= size; ++k) {
        sum += count(k, position);
    }
    return sum;
}

std::optional<float> ConfusionMatrix::accuracy() const {
    const std::uint32_t all = total();
    if (all == 0) {
        return std::nullopt;
    }
    std::uint32_t right = 0;
    for (std::size_t k = 1; k <= size; ++k) {
        right += count(k, k);
    }
    return static_cast<float>(right) / static_cast<float>(all);
}

std::optional<float> ConfusionMatrix::recall(std::size_t position) const {
    const std::uint32_t all = recorded(position);
    if (all == 0) {
        return std::nullopt;
    }
    return static_cast<float>(count(position, position)) / static_cast<float>(all);
}

std::optional<float> ConfusionMatrix::precision(std::size_t position) const {
    const std::uint32_t all = chosen(position);
    if (all == 0) {
        return std::nullopt;
    }
    return static_cast<float>(count(position, position)) / static_cast<float>(all);
}

std::optional<ConfusionMatrix::Pair> ConfusionMatrix::mostConfused() const {
    std::optional<Pair> most;
    for (std::size_t i = 1; i <= size; ++i) {
        for (std::size_t j = i + 1; j <= size; ++j) {
            const std::uint32_t windows = count(i, j) + count(j, i);
            if (windows > 0 && (!most || windows > most->windows)) {
                most = Pair{i, j, windows};
            }
        }
    }
    return most;
}
