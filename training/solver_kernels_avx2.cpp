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

namespace {

template <std::size_t W>
struct Lanes;

template <>
struct Lanes<8> {
    using FloatLanes = float __attribute__((vector_size(32)));
    using MaskLanes = std::int32_t __attribute__((vector_size(32)));
    static FloatLanes load(const float* from) {
        FloatLanes lanes;
        std::memcpy(&lanes, from, sizeof lanes);
        return lanes;
    }
    static MaskLanes loadMask(const std::int32_t* from) {
        MaskLanes lanes;
        std::memcpy(&lanes, from, sizeof lanes);
        return lanes;
    }
    static void store(float* to, FloatLanes lanes) { std::memcpy(to, &lanes, sizeof lanes); }
    static FloatLanes broadcast(float value) { return FloatLanes{} + value; }
    static bool none(MaskLanes mask) {
        std::int32_t any = 0;
        for (std::size_t lane = 0; lane < sizeof(MaskLanes) / sizeof(std::int32_t); ++lane) {
            any |= mask[lane];
        }
        return any == 0;
    }
    static MaskLanes firstIndices() { return MaskLanes{0, 1, 2, 3, 4, 5, 6, 7}; }
};

}  // namespace

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
