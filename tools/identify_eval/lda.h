// Linear discriminant analysis in closed form: the yardstick that live
// identification is measured against. One mean per class, one covariance
// shared by all classes, equal priors.
//
// 32-bit floats, sums in increasing index order.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace identify_eval {

inline constexpr int kLdaMaxDimension = 8;
using LdaSample = std::array<float, kLdaMaxDimension>;

class Lda {
  public:
    // Trains on samples of `dimension` values labelled 0..classes-1. False
    // when a class has no sample or the covariance cannot be factored.
    bool train(const std::vector<LdaSample>& samples, const std::vector<int>& labels, int classes,
               int dimension);
    // The class whose discriminant is largest (the lowest among equals).
    int classify(const LdaSample& sample) const;

  private:
    int classes = 0;
    int dimension = 0;
    std::vector<LdaSample> weights;  // covariance^-1 x mean, per class
    std::vector<float> offsets;      // -1/2 x mean' x covariance^-1 x mean
};

}  // namespace identify_eval
