#include "tests/training/reference_training.h"

#include <algorithm>

namespace reference {
namespace {

constexpr float eps = 0.001f;

float K(const PairProblem& p, std::size_t a, std::size_t b) {
    const float* x = &p.samples[a * static_cast<std::size_t>(p.D)];
    const float* z = &p.samples[b * static_cast<std::size_t>(p.D)];
    float sum = 0.0f;
    for (int k = 0; k < p.D; ++k) {
        sum = sum + x[k] * z[k];
    }
    return sum;
}

struct Solver {
    const PairProblem& p;
    float Cpos;
    float Cneg;
    std::vector<float> alpha;
    std::vector<float> G;
    std::vector<int> up;
    std::vector<int> down;
    int flatSteps = 0;
    int flatStepsToLower = 0;
    int flatStepsToUpper = 0;
    mutable int fallbackChoices = 0;

    float y(std::size_t k) const { return static_cast<float>(p.labels[k]); }
    float C(std::size_t k) const { return p.labels[k] == 1 ? Cpos : Cneg; }

    void flags(std::size_t k, float a) {
        if (p.labels[k] == 1) {
            up[k] = a < Cpos - eps;
            down[k] = a > eps;
        } else {
            up[k] = a > eps;
            down[k] = a < Cneg - eps;
        }
    }

    void step(std::size_t i, std::size_t j) {
        const float y1 = y(i);
        const float y2 = y(j);
        const float s = y1 * y2;
        const float a1 = alpha[i];
        const float a2 = alpha[j];
        const float C1 = C(i);
        const float C2 = C(j);
        const float K11 = K(p, i, i);
        const float K22 = K(p, j, j);
        const float K12 = K(p, i, j);
        const float eta = (K22 + K11) - (K12 + K12);
        float L, H;
        if (y1 == y2) {
            L = std::max(0.0f, a1 + a2 - C1);
            H = std::min(a1 + a2, C2);
        } else {
            L = std::max(a2 - a1, 0.0f);
            H = std::min(C2, a2 - a1 + C1);
        }
        const float gi = y1 * G[i];
        const float gj = y2 * G[j];
        float a2new;
        if (eta > 0.001f) {
            a2new = a2 + (gj - gi) * y2 / eta;
            a2new = std::min(H, std::max(L, a2new));
        } else {
            ++flatSteps;
            const float f1 = -G[i] - a1 * K11 - s * a2 * K12;
            const float f2 = -G[j] - a2 * K22 - s * a1 * K12;
            const float L1 = a1 + s * (a2 - L);
            const float H1 = a1 + s * (a2 - H);
            const float PsiL =
                L1 * f1 + L * f2 + 0.5f * L1 * L1 * K11 + 0.5f * L * L * K22 + s * L * L1 * K12;
            const float PsiH =
                H1 * f1 + H * f2 + 0.5f * H1 * H1 * K11 + 0.5f * H * H * K22 + s * H * H1 * K12;
            if (PsiH - 0.001f > PsiL) {
                a2new = L;
                ++flatStepsToLower;
            } else if (PsiL > PsiH + 0.001f) {
                a2new = H;
                ++flatStepsToUpper;
            } else {
                a2new = a2;
            }
        }
        float a1new = a1 + s * (a2 - a2new);
        if (a1new < eps) {
            a1new = 0.0f;
        }
        if (a1new > C1 - eps) {
            a1new = C1;
        }
        for (std::size_t k = 0; k < p.N; ++k) {
            G[k] = G[k] - y(k) * (y2 * (a2new - a2) * K(p, j, k) + y1 * (a1new - a1) * K(p, i, k));
        }
        flags(i, a1new);
        flags(j, a2new);
        alpha[i] = a1new;
        alpha[j] = a2new;
    }

    // Chooses i and j as the solver does; returns gmax and gmin.
    void choose(std::size_t& i, std::size_t& j, float& gmax, float& gmin) const {
        bool found = false;
        i = 0;
        gmax = 0.0f;
        for (std::size_t k = 0; k < p.N; ++k) {
            const float g = y(k) * G[k];
            if (up[k] && (!found || g > gmax)) {
                found = true;
                i = k;
                gmax = g;
            }
        }
        found = false;
        j = 0;
        float best = 0.0f;
        for (std::size_t k = 0; k < p.N; ++k) {
            const float g = y(k) * G[k];
            if (!down[k] || !(g < gmax)) {
                continue;
            }
            const float b = g - gmax;
            const float a = 2 * K(p, k, k) - 4 * K(p, k, i) + 2 * K(p, i, i);
            if (a <= 0.001f) {
                continue;
            }
            if (!found || b * b / a > best) {
                found = true;
                j = k;
                best = b * b / a;
            }
        }
        if (!found) {
            ++fallbackChoices;
            for (std::size_t k = 0; k < p.N; ++k) {
                const float g = y(k) * G[k];
                if (down[k] && (!found || g < y(j) * G[j])) {
                    found = true;
                    j = k;
                }
            }
        }
        gmin = found ? y(j) * G[j] : 0.0f;
    }
};

}  // namespace

Result trainPair(const PairProblem& problem, std::uint32_t maxIterations, float tolerance) {
    Result result;
    const std::size_t N = problem.N;
    std::size_t positives = 0;
    std::size_t negatives = 0;
    for (std::size_t k = 0; k < N; ++k) {
        if (problem.labels[k] == 1) {
            ++positives;
        } else {
            ++negatives;
        }
    }
    result.positiveBound = static_cast<float>(N * 0.5 / positives);
    result.negativeBound = static_cast<float>(N * (-0.5) / negatives);

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
    float gmax, gmin;
    bool stopped = false;
    for (std::uint32_t iteration = 0; iteration < maxIterations && !stopped; ++iteration) {
        solver.choose(i, j, gmax, gmin);
        if (tolerance >= gmax - gmin) {
            result.bias = (gmax + gmin) * 0.5f;
            stopped = true;
        } else {
            solver.step(i, j);
        }
    }
    if (!stopped) {
        // Out of iterations: the bias of the state reached.
        solver.choose(i, j, gmax, gmin);
        result.reachedCap = !(tolerance >= gmax - gmin);
        result.bias = (gmax + gmin) * 0.5f;
    }
    result.alpha = solver.alpha;
    result.flatSteps = solver.flatSteps;
    result.flatStepsToLower = solver.flatStepsToLower;
    result.flatStepsToUpper = solver.flatStepsToUpper;
    result.fallbackChoices = solver.fallbackChoices;
    for (std::size_t k = 0; k < N; ++k) {
        if (solver.alpha[k] > 0.0f) {
            for (int c = 0; c < problem.D; ++c) {
                result.weights[c] = result.weights[c] + problem.labels[k] * solver.alpha[k] *
                                                            problem.samples[k * problem.D + c];
            }
        }
    }
    return result;
}

}  // namespace reference
