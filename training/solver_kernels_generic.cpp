// Four lanes: one SSE register, which every x86-64 processor has.
#include <cstring>

#include "training/solver_kernels.h"

namespace {

template <std::size_t W>
struct Lanes;

template <>
struct Lanes<4> {
    using FloatLanes = float __attribute__((vector_size(16)));
    using MaskLanes = std::int32_t __attribute__((vector_size(16)));
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
    static MaskLanes firstIndices() { return MaskLanes{0, 1, 2, 3}; }
};

}  // namespace

#include "training/solver_kernels_impl.h"

const SolverKernels& genericSolverKernels() {
    static const SolverKernels kernels = kernelsOfWidth<4>("4 lanes");
    return kernels;
}

const SolverKernels& solverKernels() {
    static const SolverKernels* const chosen =
        avx2SolverKernels() != nullptr ? avx2SolverKernels() : &genericSolverKernels();
    return *chosen;
}
