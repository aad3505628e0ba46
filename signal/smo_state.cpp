#include <algorithm>

#include "signal/smo_state.h"

namespace {

constexpr std::size_t kKernelCacheBudget = 16u << 20;  // bytes per solver

// The objective at one end of the segment, for the step that cannot follow
// the curvature (eta at most 0.001).
float objectiveAt(float end, float a1, float a2, float s, float f1, float f2, float K11, float K22,
                  float K12) {
    const float end1 = a1 + s * (a2 - end);
    return end1 * f1 + end * f2 + 0.5f * end1 * end1 * K11 + 0.5f * end * end * K22 +
           s * end * end1 * K12;
}

}  // namespace

SmoState::SmoState(const float* samples, int D, std::size_t N, const std::int32_t* labels,
                   float positiveBound, float negativeBound, float* alpha,
                   const SolverKernels& kernels)
    : kernels(kernels),
      N(N),
      Cpos(positiveBound),
      Cneg(-negativeBound),
      alpha(alpha),
      y(paddedLength(N), 0.0f),
      g(paddedLength(N), 0.0f),
      up(paddedLength(N), 0),
      down(paddedLength(N), 0),
      kernel(samples, D, N, kKernelCacheBudget, kernels) {
    for (std::size_t k = 0; k < N; ++k) {
        y[k] = labels[k] > 0 ? 1.0f : -1.0f;
        g[k] = y[k];  // G_k = 1
        alpha[k] = 0.0f;
        setFlags(k, 0.0f);
    }
}

void SmoState::setFlags(std::size_t k, float a) {
    bool canGrow;
    bool canShrink;
    if (y[k] > 0.0f) {
        canGrow = a < Cpos - kBoundEpsilon;
        canShrink = a > kBoundEpsilon;
    } else {
        canGrow = a > kBoundEpsilon;
        canShrink = a < Cneg - kBoundEpsilon;
    }
    up[k] = canGrow ? -1 : 0;
    down[k] = canShrink ? -1 : 0;
}

Choice smoStep(SmoState& state, std::size_t i, std::size_t j) {
    const float y1 = state.y[i];
    const float y2 = state.y[j];
    const float s = y1 * y2;
    const float a1 = state.alpha[i];
    const float a2 = state.alpha[j];
    const float C1 = state.bound(i);
    const float C2 = state.bound(j);

    const float* Ki = state.kernel.row(i);
    const float* Kj = state.kernel.row(j);
    const float K11 = state.kernel.diagonal()[i];
    const float K22 = state.kernel.diagonal()[j];
    const float K12 = Ki[j];
    const float eta = (K22 + K11) - (K12 + K12);

    float L;
    float H;
    if (y1 == y2) {
        L = std::max(0.0f, a1 + a2 - C1);
        H = std::min(a1 + a2, C2);
    } else {
        L = std::max(a2 - a1, 0.0f);
        H = std::min(C2, a2 - a1 + C1);
    }

    float a2new;
    if (eta > 0.001f) {
        a2new = a2 + (state.g[j] - state.g[i]) * y2 / eta;
        a2new = std::min(H, std::max(L, a2new));
    } else {
        const float G1 = y1 * state.g[i];
        const float G2 = y2 * state.g[j];
        const float f1 = -G1 - a1 * K11 - s * a2 * K12;
        const float f2 = -G2 - a2 * K22 - s * a1 * K12;
        const float psiL = objectiveAt(L, a1, a2, s, f1, f2, K11, K22, K12);
        const float psiH = objectiveAt(H, a1, a2, s, f1, f2, K11, K22, K12);
        if (psiH - 0.001f > psiL) {
            a2new = L;
        } else if (psiL > psiH + 0.001f) {
            a2new = H;
        } else {
            a2new = a2;
        }
    }

    float a1new = a1 + s * (a2 - a2new);
    if (a1new < kBoundEpsilon) {
        a1new = 0.0f;
    }
    if (a1new > C1 - kBoundEpsilon) {
        a1new = C1;
    }

    // The flags and multipliers first, so that the gradient pass can choose
    // the next i; G_k -= y_k (d2 K(x_j, x_k) + d1 K(x_i, x_k)) is kept as
    // g_k -= (d2 K(x_j, x_k) + d1 K(x_i, x_k)).
    state.setFlags(i, a1new);
    state.setFlags(j, a2new);
    state.alpha[i] = a1new;
    state.alpha[j] = a2new;
    return state.kernels.updateGradient(state.g.data(), Ki, Kj, y1 * (a1new - a1),
                                        y2 * (a2new - a2), state.up.data(), state.g.size());
}
