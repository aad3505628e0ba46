// Rows of the linear kernel K(x_i, x_k) = dotProduct(x_i, x_k, D) for every
// sample k, computed when first asked for and kept, least recently used
// first out, within a memory budget. A cached value is the value that
// dotProduct gives: each is summed over the dimensions in index order from 0.
//
// Owned by one solver call; not shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "signal/solver_kernels.h"

class KernelRowCache {
  public:
    // samples: N rows of D values, row-major; must outlive the cache. Keeps at
    // least two rows whatever the budget.
    KernelRowCache(const float* samples, int D, std::size_t N, std::size_t budgetBytes,
                   const SolverKernels& kernels = solverKernels());
    KernelRowCache(const KernelRowCache&) = delete;
    KernelRowCache& operator=(const KernelRowCache&) = delete;

    // The kernel row of sample i: N values, then zeros up to paddedLength(N).
    // The pointer stays valid until two other rows have been asked for.
    const float* row(std::size_t i);

    // K(x_k, x_k) for every k, padded like a row.
    const float* diagonal() const { return diagonal_.data(); }

    std::size_t rowsComputed() const { return rowsComputed_; }

  private:
    const SolverKernels& kernels_;
    const float* samples_;
    int D_;
    std::size_t length_;          // N padded
    std::vector<float> columns_;  // D columns of length values: the samples transposed
    std::vector<float> diagonal_;
    std::size_t capacity_;                         // most rows kept
    std::vector<std::unique_ptr<float[]>> slots_;  // length values each, made when first needed
    std::vector<std::size_t> slotOfRow_;           // kNoSlot when not cached
    std::vector<std::size_t> rowOfSlot_;
    std::vector<std::uint64_t> lastUse_;  // per slot
    std::uint64_t clock_ = 0;
    std::size_t rowsComputed_ = 0;
};
