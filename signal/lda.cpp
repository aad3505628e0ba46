#include "signal/lda.h"

#include <algorithm>
#include <cmath>

namespace {

using Square = std::vector<double>;  // n x n, row-major

// Lower-triangular l with l x l' = a; false when a is not positive definite.
bool choleskyFactor(const Square& a, std::size_t n, Square& l) {
    l.assign(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j <= i; ++j) {
            double sum = a[i * n + j];
            for (std::size_t k = 0; k < j; ++k) {
                sum -= l[i * n + k] * l[j * n + k];
            }
            if (i == j) {
                if (!(sum > 0.0)) {
                    return false;
                }
                l[i * n + i] = std::sqrt(sum);
            } else {
                l[i * n + j] = sum / l[j * n + j];
            }
        }
    }
    return true;
}

// x with l x l' x = b.
std::vector<double> choleskySolve(const Square& l, std::size_t n, const std::vector<double>& b) {
    std::vector<double> y(n);
    for (std::size_t i = 0; i < n; ++i) {
        double sum = b[i];
        for (std::size_t k = 0; k < i; ++k) {
            sum -= l[i * n + k] * y[k];
        }
        y[i] = sum / l[i * n + i];
    }
    std::vector<double> x(n);
    for (std::size_t i = n; i-- > 0;) {
        double sum = y[i];
        for (std::size_t k = i + 1; k < n; ++k) {
            sum -= l[k * n + i] * x[k];
        }
        x[i] = sum / l[i * n + i];
    }
    return x;
}

}  // namespace

std::size_t LdaModel::classify(const float* sample, float* scores) const {
    std::size_t best = 0;
    for (std::size_t k = 0; k < classes; ++k) {
        const float* w = weights.data() + k * dimension;
        float score = offsets[k];
        for (std::size_t d = 0; d < dimension; ++d) {
            score = score + w[d] * sample[d];
        }
        scores[k] = score;
        if (score > scores[best]) {
            best = k;
        }
    }
    return best;
}

bool trainLda(const std::vector<float>& samples, const std::vector<int>& labels,
              std::size_t classes, std::size_t dimension, double shrinkage, LdaModel& model) {
    const std::size_t n = labels.size();
    if (classes < 2 || classes > kMaxLdaClasses || dimension < 1 || dimension > kMaxLdaDimension ||
        samples.size() != n * dimension || n <= classes) {
        return false;
    }
    std::vector<double> means(classes * dimension, 0.0);
    std::vector<std::size_t> counts(classes, 0);
    for (std::size_t i = 0; i < n; ++i) {
        if (labels[i] < 0 || static_cast<std::size_t>(labels[i]) >= classes) {
            return false;
        }
        const std::size_t k = static_cast<std::size_t>(labels[i]);
        for (std::size_t d = 0; d < dimension; ++d) {
            means[k * dimension + d] += samples[i * dimension + d];
        }
        ++counts[k];
    }
    for (std::size_t k = 0; k < classes; ++k) {
        if (counts[k] == 0) {
            return false;
        }
        for (std::size_t d = 0; d < dimension; ++d) {
            means[k * dimension + d] /= static_cast<double>(counts[k]);
        }
    }
    // The pooled within-class covariance, each class weighing alike.
    Square covariance(dimension * dimension, 0.0);
    std::vector<double> centred(dimension);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t k = static_cast<std::size_t>(labels[i]);
        const double weight = 1.0 / static_cast<double>(counts[k] * classes);
        for (std::size_t d = 0; d < dimension; ++d) {
            centred[d] = samples[i * dimension + d] - means[k * dimension + d];
        }
        for (std::size_t a = 0; a < dimension; ++a) {
            for (std::size_t b = 0; b <= a; ++b) {
                covariance[a * dimension + b] += weight * centred[a] * centred[b];
            }
        }
    }
    double largest = 0.0;
    for (std::size_t a = 0; a < dimension; ++a) {
        largest = std::max(largest, covariance[a * dimension + a]);
    }
    for (std::size_t a = 0; a < dimension; ++a) {
        for (std::size_t b = 0; b < a; ++b) {
            covariance[a * dimension + b] *= 1.0 - shrinkage;
            covariance[b * dimension + a] = covariance[a * dimension + b];
        }
        // A feature that never varies still gets a little variance of its own.
        covariance[a * dimension + a] += 1e-6 * largest + 1e-12;
    }
    Square factor;
    if (!choleskyFactor(covariance, dimension, factor)) {
        return false;
    }
    LdaModel trained;
    trained.classes = classes;
    trained.dimension = dimension;
    trained.weights.resize(classes * dimension);
    trained.offsets.resize(classes);
    for (std::size_t k = 0; k < classes; ++k) {
        const std::vector<double> mean(
            means.begin() + static_cast<std::ptrdiff_t>(k * dimension),
            means.begin() + static_cast<std::ptrdiff_t>((k + 1) * dimension));
        const std::vector<double> w = choleskySolve(factor, dimension, mean);
        double product = 0.0;
        for (std::size_t d = 0; d < dimension; ++d) {
            trained.weights[k * dimension + d] = static_cast<float>(w[d]);
            product += w[d] * mean[d];
        }
        trained.offsets[k] = static_cast<float>(-0.5 * product);
    }
    model = std::move(trained);
    return true;
}

float ldaConfidence(const float* scores, std::size_t classes, std::size_t chosen) {
    double total = 0.0;
    for (std::size_t k = 0; k < classes; ++k) {
        total += std::exp(static_cast<double>(scores[k]) - static_cast<double>(scores[chosen]));
    }
    return static_cast<float>(1.0 / total);
}
