// The same pair problems trained with LIBSVM, for comparison: C-SVC with a
// linear kernel, C = 1, the class penalties as per-class weights, eps 0.001,
// LIBSVM's defaults otherwise (100 MB cache, shrinking on).
#pragma once

#include <memory>
#include <vector>

#include "signal/pair_training.h"

class LibsvmPair {
  public:
    explicit LibsvmPair(const PairProblem& problem);
    ~LibsvmPair();
    LibsvmPair(const LibsvmPair&) = delete;
    LibsvmPair& operator=(const LibsvmPair&) = delete;

    // Trains once; returns the number of support vectors.
    int train() const;

  private:
    struct Data;
    std::unique_ptr<Data> data_;
};
