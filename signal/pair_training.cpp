#include "signal/pair_training.h"

#include <limits>

float dotProduct(const float* a, const float* b, int n) {
    float sum = 0.0f;
    for (int k = 0; k < n; ++k) {
        sum = sum + a[k] * b[k];
    }
    return sum;
}

bool trainPair(const PairProblem& problem, SvmParams& params, PairModel& model) {
    model = PairModel{};
    const std::size_t N = problem.N;
    if (problem.D < 1 || problem.D > kMaxFeatureDimension ||
        N > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) ||
        problem.labels.size() < N ||
        problem.samples.size() / static_cast<std::size_t>(problem.D) < N) {
        return false;
    }
    std::size_t positives = 0;
    std::size_t negatives = 0;
    for (std::size_t k = 0; k < N; ++k) {
        if (problem.labels[k] == 1) {
            ++positives;
        } else if (problem.labels[k] == -1) {
            ++negatives;
        } else {
            return false;
        }
    }
    if (positives == 0 || negatives == 0) {
        return false;
    }
    params.positiveBound =
        static_cast<float>(static_cast<double>(N) * 0.5 / static_cast<double>(positives));
    params.negativeBound =
        static_cast<float>(static_cast<double>(N) * (-0.5) / static_cast<double>(negatives));

    std::vector<float> alpha(N);
    model.bias = smoSolve(problem.samples.data(), problem.D, N, problem.labels.data(), params,
                          alpha.data(), &model.reachedIterationCap);
    if (params.stop.stop_requested()) {
        model = PairModel{};
        return false;
    }

    // Every multiplier above 0 carries its sample into the weights.
    const std::size_t D = static_cast<std::size_t>(problem.D);
    for (std::size_t k = 0; k < N; ++k) {
        if (alpha[k] > 0.0f) {
            const float scale = static_cast<float>(problem.labels[k]) * alpha[k];
            const float* x = &problem.samples[k * D];
            for (std::size_t c = 0; c < D; ++c) {
                model.weights[c] = model.weights[c] + scale * x[c];
            }
        }
    }
    return true;
}
