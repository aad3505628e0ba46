// Eight lanes with AVX2, used only when the processor has it. Everything
// after the target pragma is compiled for AVX2 (g++'s target pragma, clang's
// target attribute on every function), so the standard headers come first and
// the variant's code has internal linkage.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "signal/solver_kernels.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "signal/solver_kernels_impl.h"

namespace {

const SolverKernels avx2Kernels = kernelsOfWidth<8>("8 lanes (AVX2)");

}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

const SolverKernels* avx2SolverKernels() {
    static const bool supported = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return supported ? &avx2Kernels : nullptr;
}
