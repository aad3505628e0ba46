// Four lanes: one SSE register, which every x86-64 processor has.
#include "signal/solver_kernels.h"
#include "signal/solver_kernels_impl.h"

const SolverKernels& genericSolverKernels() {
    static const SolverKernels kernels = kernelsOfWidth<4>("4 lanes");
    return kernels;
}

const SolverKernels& solverKernels() {
    static const SolverKernels* const chosen =
        avx2SolverKernels() != nullptr ? avx2SolverKernels() : &genericSolverKernels();
    return *chosen;
}
