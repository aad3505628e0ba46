// Eight lanes with AVX2, used only when the processor has it. Everything
// after the target pragma is compiled for AVX2, so the standard headers come
// first and the variant's code has internal linkage.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "training/solver_kernels.h"

#pragma GCC push_options
#pragma GCC target("avx2")

#include "training/solver_kernels_impl.h"

namespace {

const SolverKernels avx2Kernels = kernelsOfWidth<8>("8 lanes (AVX2)");

}  // namespace

#pragma GCC pop_options

const SolverKernels* avx2SolverKernels() {
    static const bool supported = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return supported ? &avx2Kernels : nullptr;
}
