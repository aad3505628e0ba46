#include "training/kernel_row_cache.h"

#include <algorithm>
#include <limits>

#include "training/float_lanes.h"

namespace {

constexpr std::size_t kNoSlot = std::numeric_limits<std::size_t>::max();

}  // namespace

KernelRowCache::KernelRowCache(const float* samples, int D, std::size_t N, std::size_t budgetBytes)
    : samples_(samples), D_(D), N_(N), stride_(paddedToLanes(N)) {
    const std::size_t dimensions = D > 0 ? static_cast<std::size_t>(D) : 0;
    columns_.assign(dimensions * stride_, 0.0f);
    for (std::size_t k = 0; k < N; ++k) {
        for (std::size_t c = 0; c < dimensions; ++c) {
            columns_[c * stride_ + k] = samples[k * dimensions + c];
        }
    }
    diagonal_.assign(stride_, 0.0f);
    for (std::size_t g = 0; g < stride_; g += kLanes) {
        FloatLanes sum = {};
        for (std::size_t c = 0; c < dimensions; ++c) {
            const FloatLanes x = loadLanes(&columns_[c * stride_ + g]);
            sum = sum + x * x;
        }
        storeLanes(&diagonal_[g], sum);
    }
    const std::size_t rowBytes = std::max<std::size_t>(stride_, 1) * sizeof(float);
    const std::size_t slots =
        std::clamp<std::size_t>(budgetBytes / rowBytes, 2, std::max<std::size_t>(N, 2));
    storage_.resize(slots * stride_);
    rowOfSlot_.assign(slots, 0);
    lastUse_.assign(slots, 0);
    slotOfRow_.assign(N, kNoSlot);
}

const float* KernelRowCache::row(std::size_t i) {
    ++clock_;
    std::size_t slot = slotOfRow_[i];
    if (slot == kNoSlot) {
        if (slotsUsed_ < rowOfSlot_.size()) {
            slot = slotsUsed_++;
        } else {
            slot = static_cast<std::size_t>(std::min_element(lastUse_.begin(), lastUse_.end()) -
                                            lastUse_.begin());
            slotOfRow_[rowOfSlot_[slot]] = kNoSlot;
        }
        computeRow(i, &storage_[slot * stride_]);
        slotOfRow_[i] = slot;
        rowOfSlot_[slot] = i;
        ++rowsComputed_;
    }
    lastUse_[slot] = clock_;
    return &storage_[slot * stride_];
}

void KernelRowCache::computeRow(std::size_t i, float* out) const {
    const std::size_t dimensions = static_cast<std::size_t>(D_);
    const float* x = samples_ + i * dimensions;
    for (std::size_t g = 0; g < stride_; g += kLanes) {
        FloatLanes sum = {};
        for (std::size_t c = 0; c < dimensions; ++c) {
            sum = sum + broadcastLanes(x[c]) * loadLanes(&columns_[c * stride_ + g]);
        }
        storeLanes(out + g, sum);
    }
}
