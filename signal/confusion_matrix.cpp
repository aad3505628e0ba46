#include "signal/confusion_matrix.h"

ConfusionMatrix::ConfusionMatrix(std::size_t gestures)
    : size(gestures + 1), counts(size * size, 0) {}

void ConfusionMatrix::add(std::size_t trueClass, std::size_t reportedClass) {
    if (trueClass < size && reportedClass < size) {
        ++counts[trueClass * size + reportedClass];
    }
}

std::uint32_t ConfusionMatrix::count(std::size_t trueClass, std::size_t reportedClass) const {
    if (trueClass >= size || reportedClass >= size) {
        return 0;
    }
    return counts[trueClass * size + reportedClass];
}

std::uint32_t ConfusionMatrix::total() const {
    std::uint32_t sum = 0;
    for (std::uint32_t c : counts) {
        sum += c;
    }
    return sum;
}

std::uint32_t ConfusionMatrix::truly(std::size_t trueClass) const {
    std::uint32_t sum = 0;
    for (std::size_t k = 0; k < size; ++k) {
        sum += count(trueClass, k);
    }
    return sum;
}

std::uint32_t ConfusionMatrix::reported(std::size_t reportedClass) const {
    std::uint32_t sum = 0;
    for (std::size_t k = 0; k < size; ++k) {
        sum += count(k, reportedClass);
    }
    return sum;
}

std::optional<float> ConfusionMatrix::accuracy() const {
    const std::uint32_t all = total();
    if (all == 0) {
        return std::nullopt;
    }
    std::uint32_t right = 0;
    for (std::size_t k = 0; k < size; ++k) {
        right += count(k, k);
    }
    return static_cast<float>(right) / static_cast<float>(all);
}

std::optional<float> ConfusionMatrix::recall(std::size_t trueClass) const {
    const std::uint32_t all = truly(trueClass);
    if (all == 0) {
        return std::nullopt;
    }
    return static_cast<float>(count(trueClass, trueClass)) / static_cast<float>(all);
}

std::optional<float> ConfusionMatrix::precision(std::size_t reportedClass) const {
    const std::uint32_t all = reported(reportedClass);
    if (all == 0) {
        return std::nullopt;
    }
    return static_cast<float>(count(reportedClass, reportedClass)) / static_cast<float>(all);
}

std::optional<ConfusionMatrix::Pair> ConfusionMatrix::mostConfused() const {
    std::optional<Pair> most;
    for (std::size_t i = 1; i < size; ++i) {
        for (std::size_t j = i + 1; j < size; ++j) {
            const std::uint32_t windows = count(i, j) + count(j, i);
            if (windows > 0 && (!most || windows > most->windows)) {
                most = Pair{i, j, windows};
            }
        }
    }
    return most;
}
