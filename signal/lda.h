// Linear discriminant analysis: one mean per class and one covariance shared
// by all of them, shrunk towards its own diagonal so that few or correlated
// samples still give a sound inverse. Equal priors: every class counts alike,
// however many samples it has.
//
// Training works in double precision; the trained model is floats, and a
// sample is classified by one dot product per class. Plain values, no shared
// state; any thread.
#pragma once

#include <cstddef>
#include <vector>

inline constexpr std::size_t kMaxLdaDimension = 40;
inline constexpr std::size_t kMaxLdaClasses = 9;

struct LdaModel {
    std::size_t classes = 0;
    std::size_t dimension = 0;
    std::vector<float> weights;  // classes x dimension: covariance^-1 x class mean
    std::vector<float> offsets;  // per class: -1/2 x mean' x covariance^-1 x mean

    // The discriminant of every class for the sample (dimension values) into
    // scores (classes values); returns the class with the largest (the lowest
    // among equals).
    std::size_t classify(const float* sample, float* scores) const;
};

// Trains on `labels.size()` samples of `dimension` values each (row-major in
// samples), labelled 0 to classes - 1, with shrinkage 0..1 (the share of the
// covariance's off-diagonal part given up). False, with model untouched,
// when a class has no sample, the sizes do not fit, or the covariance cannot
// be inverted.
bool trainLda(const std::vector<float>& samples, const std::vector<int>& labels,
              std::size_t classes, std::size_t dimension, double shrinkage, LdaModel& model);

// The probability of class `chosen` among the scores (their softmax).
float ldaConfidence(const float* scores, std::size_t classes, std::size_t chosen);
