#include "signal/kernel_row_cache.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t kNoSlot = std::numeric_limits<std::size_t>::max();

}  // namespace

KernelRowCache::KernelRowCache(const float* samples, int D, std::size_t N, std::size_t budgetBytes,
                               const SolverKernels& kernels)
    : kernels_(kernels), samples_(samples), D_(std::max(D, 0)), length_(paddedLength(N)) {
    const std::size_t dimensions = static_cast<std::size_t>(D_);
    columns_.assign(dimensions * length_, 0.0f);
    for (std::size_t k = 0; k < N; ++k) {
        for (std::size_t c = 0; c < dimensions; ++c) {
            columns_[c * length_ + k] = samples[k * dimensions + c];
        }
    }
    diagonal_.assign(length_, 0.0f);
    kernels_.kernelDiagonal(columns_.data(), length_, D_, diagonal_.data());
    const std::size_t rowBytes = std::max<std::size_t>(length_, 1) * sizeof(float);
    capacity_ = std::clamp<std::size_t>(budgetBytes / rowBytes, 2, std::max<std::size_t>(N, 2));
    slotOfRow_.assign(N, kNoSlot);
}

const float* KernelRowCache::row(std::size_t i) {
    ++clock_;
    std::size_t slot = slotOfRow_[i];
    if (slot == kNoSlot) {
        if (slots_.size() < capacity_) {
            slot = slots_.size();
            slots_.push_back(std::make_unique_for_overwrite<float[]>(length_));
            rowOfSlot_.push_back(0);
            lastUse_.push_back(0);
        } else {
            slot = static_cast<std::size_t>(std::min_element(lastUse_.begin(), lastUse_.end()) -
                                            lastUse_.begin());
            slotOfRow_[rowOfSlot_[slot]] = kNoSlot;
        }
        kernels_.kernelRow(columns_.data(), length_, D_,
                           samples_ + i * static_cast<std::size_t>(D_), slots_[slot].get());
        slotOfRow_[i] = slot;
        rowOfSlot_[slot] = i;
        ++rowsComputed_;
    }
    lastUse_[slot] = clock_;
    return slots_[slot].get();
}
