#include "tests/support/reference_training.h"

#include <algorithm>

namespace reference {
namespace {

constexpr float eps = 0.001f;

struct Solver {
    const PairProblem& p;
    float Cpos, Cneg;
    std::vector<float> alpha, G;
    std::vector<int> up, down;
    int flatSteps = 0;
    int fallbackChoices = 0;

    float K(std::size_t a, std::size_t b) const {
        float sum = 0.0f;
        for (int c = 0; c < p.D; ++c) {
            sum = sum + p.samples[a * p.D + c] * p.samples[b * p.D + c];
        }
        return sum;
    }
    float y(std::size_t k) const { return static_cast<float>(p.labels[k]); }
    float C(std::size_t k) const { return p.labels[k] == 1 ? Cpos : Cneg; }
    float g(std::size_t k) const { return y(k) * G[k]; }

    void flags(std::size_t k, float a) {
        up[k] = p.labels[k] == 1 ? a < Cpos - eps : a > eps;
        down[k] = p.labels[k] == 1 ? a > eps : a < Cneg - eps;
    }

    void step(std::size_t i, std::size_t j) {
        const float y1 = y(i), y2 = y(j), s = y1 * y2, a1 = alpha[i], a2 = alpha[j];
        const float C1 = C(i), C2 = C(j), K11 = K(i, i), K22 = K(j, j), K12 = K(i, j);
        const float eta = (K22 + K11) - (K12 + K12);
        const float L = y1 == y2 ? std::max(0.0f, a1 + a2 - C1) : std::max(a2 - a1, 0.0f);
        const float H = y1 == y2 ? std::min(a1 + a2, C2) : std::min(C2, a2 - a1 + C1);
        float a2new = a2;
        if (eta > 0.001f) {
            a2new = std::min(H, std::max(L, a2 + (g(j) - g(i)) * y2 / eta));
        } else {
            const float f1 = -G[i] - a1 * K11 - s * a2 * K12;
            const float f2 = -G[j] - a2 * K22 - s * a1 * K12;
            const float L1 = a1 + s * (a2 - L), H1 = a1 + s * (a2 - H);
            const float PsiL =
                L1 * f1 + L * f2 + 0.5f * L1 * L1 * K11 + 0.5f * L * L * K22 + s * L * L1 * K12;
            const float PsiH =
                H1 * f1 + H * f2 + 0.5f * H1 * H1 * K11 + 0.5f * H * H * K22 + s * H * H1 * K12;
            if (PsiH - 0.001f > PsiL) {
                a2new = L;
            } else if (PsiL > PsiH + 0.001f) {
                a2new = H;
            }
            flatSteps += a2new != a2;
        }
        float a1new = a1 + s * (a2 - a2new);
        if (a1new < eps) {
            a1new = 0.0f;
        }
        if (a1new > C1 - eps) {
            a1new = C1;
        }
        for (std::size_t k = 0; k < p.N; ++k) {
            G[k] = G[k] - y(k) * (y2 * (a2new - a2) * K(j, k) + y1 * (a1new - a1) * K(i, k));
        }
        flags(i, a1new);
        flags(j, a2new);
        alpha[i] = a1new;
        alpha[j] = a2new;
    }

    // Chooses i and j; returns gmax - gmin and sets the bias (gmax + gmin) x 0.5.
    float choose(std::size_t& i, std::size_t& j, float& bias) {
        bool found = false;
        i = 0;
        float gmax = 0.0f;
        for (std::size_t k = 0; k < p.N; ++k) {
            if (up[k] && (!found || g(k) > gmax)) {
                found = true;
                i = k;
                gmax = g(k);
            }
        }
        found = false;
        j = 0;
        float best = 0.0f;
        for (std::size_t k = 0; k < p.N; ++k) {
            const float b = g(k) - gmax, a = 2 * K(k, k) - 4 * K(k, i) + 2 * K(i, i);
            if (down[k] && g(k) < gmax && a > 0.001f && (!found || b * b / a > best)) {
                found = true;
                j = k;
                best = b * b / a;
            }
        }
        if (!found) {
            ++fallbackChoices;
            for (std::size_t k = 0; k < p.N; ++k) {
                if (down[k] && (!found || g(k) < g(j))) {
                    found = true;
                    j = k;
                }
            }
        }
        const float gmin = found ? g(j) : 0.0f;
        bias = (gmax + gmin) * 0.5f;
        return gmax - gmin;
    }
};

}  // namespace

Result trainPair(const PairProblem& problem, std::uint32_t maxIterations, float tolerance) {
    Result result;
    const std::size_t N = problem.N;
    const auto positives =
        static_cast<std::size_t>(std::count(problem.labels.begin(), problem.labels.end(), 1));
    result.positiveBound = static_cast<float>(N * 0.5 / positives);
    result.negativeBound = static_cast<float>(N * (-0.5) / (N - positives));
    Solver solver{problem,
                  result.positiveBound,
                  -result.negativeBound,
                  std::vector<float>(N, 0.0f),
                  std::vector<float>(N, 1.0f),
                  std::vector<int>(N),
                  std::vector<int>(N)};
    for (std::size_t k = 0; k < N; ++k) {
        solver.flags(k, 0.0f);
    }
    std::size_t i, j;
    bool stopped = false;
    for (std::uint32_t iteration = 0; iteration < maxIterations && !stopped; ++iteration) {
        stopped = tolerance >= solver.choose(i, j, result.bias);
        if (!stopped) {
            solver.step(i, j);
        }
    }
    if (!stopped) {  // out of iterations: the bias of the state reached
        result.reachedCap = !(tolerance >= solver.choose(i, j, result.bias));
    }
    result.alpha = solver.alpha;
    result.flatSteps = solver.flatSteps;
    result.fallbackChoices = solver.fallbackChoices;
    for (std::size_t k = 0; k < N; ++k) {
        for (int c = 0; c < problem.D && solver.alpha[k] > 0.0f; ++c) {
            result.weights[c] = result.weights[c] + problem.labels[k] * solver.alpha[k] *
                                                        problem.samples[k * problem.D + c];
        }
    }
    return result;
}

}  // namespace reference
