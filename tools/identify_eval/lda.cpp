#include "tools/identify_eval/lda.h"

#include <cmath>

namespace identify_eval {
namespace {

using Matrix = std::array<std::array<float, kLdaMaxDimension>, kLdaMaxDimension>;

// A small ridge, relative to the mean variance, keeps the factorisation sound
// when two features move together.
constexpr float kRidge = 1e-3f;

// Lower-triangular L with L x L' = a; false when a is not positive definite.
bool cholesky(const Matrix& a, int n, Matrix& l) {
    l = Matrix{};
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j <= i; ++j) {
            float sum = a[i][j];
            for (int k = 0; k < j; ++k) {
                sum = sum - l[i][k] * l[j][k];
            }
            if (i == j) {
                if (!(sum > 0.0f)) {
                    return false;
                }
                l[i][i] = std::sqrt(sum);
            } else {
                l[i][j] = sum / l[j][j];
            }
        }
    }
    return true;
}

// x with L x L' x = b.
LdaSample solve(const Matrix& l, int n, const LdaSample& b) {
    LdaSample y{};
    for (int i = 0; i < n; ++i) {
        float sum = b[i];
        for (int k = 0; k < i; ++k) {
            sum = sum - l[i][k] * y[k];
        }
        y[i] = sum / l[i][i];
    }
    LdaSample x{};
    for (int i = n - 1; i >= 0; --i) {
        float sum = y[i];
        for (int k = i + 1; k < n; ++k) {
            sum = sum - l[k][i] * x[k];
        }
        x[i] = sum / l[i][i];
    }
    return x;
}

}  // namespace

bool Lda::train(const std::vector<LdaSample>& samples, const std::vector<int>& labels,
                int classCount, int dimensionCount) {
    classes = classCount;
    dimension = dimensionCount;
    const std::size_t k = static_cast<std::size_t>(classes);
    std::vector<LdaSample> means(k, LdaSample{});
    std::vector<std::size_t> counts(k, 0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::size_t c = static_cast<std::size_t>(labels[i]);
        for (int d = 0; d < dimension; ++d) {
            means[c][d] = means[c][d] + samples[i][d];
        }
        ++counts[c];
    }
    for (std::size_t c = 0; c < k; ++c) {
        if (counts[c] == 0) {
            return false;
        }
        for (int d = 0; d < dimension; ++d) {
            means[c][d] = means[c][d] / static_cast<float>(counts[c]);
        }
    }
    Matrix covariance{};
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const LdaSample& mean = means[static_cast<std::size_t>(labels[i])];
        for (int a = 0; a < dimension; ++a) {
            for (int b = 0; b < dimension; ++b) {
                covariance[a][b] =
                    covariance[a][b] + (samples[i][a] - mean[a]) * (samples[i][b] - mean[b]);
            }
        }
    }
    const float degrees = static_cast<float>(samples.size() - k);
    float trace = 0.0f;
    for (int a = 0; a < dimension; ++a) {
        for (int b = 0; b < dimension; ++b) {
            covariance[a][b] = covariance[a][b] / degrees;
        }
        trace = trace + covariance[a][a];
    }
    for (int a = 0; a < dimension; ++a) {
        covariance[a][a] = covariance[a][a] + kRidge * trace / static_cast<float>(dimension);
    }
    Matrix l;
    if (!cholesky(covariance, dimension, l)) {
        return false;
    }
    weights.assign(k, LdaSample{});
    offsets.assign(k, 0.0f);
    for (std::size_t c = 0; c < k; ++c) {
        weights[c] = solve(l, dimension, means[c]);
        float product = 0.0f;
        for (int d = 0; d < dimension; ++d) {
            product = product + weights[c][d] * means[c][d];
        }
        offsets[c] = -0.5f * product;
    }
    return true;
}

int Lda::classify(const LdaSample& sample) const {
    int best = 0;
    float bestScore = 0.0f;
    for (int c = 0; c < classes; ++c) {
        float score = offsets[static_cast<std::size_t>(c)];
        for (int d = 0; d < dimension; ++d) {
            score = score + weights[static_cast<std::size_t>(c)][d] * sample[d];
        }
        if (c == 0 || score > bestScore) {
            best = c;
            bestScore = score;
        }
    }
    return best;
}

}  // namespace identify_eval
