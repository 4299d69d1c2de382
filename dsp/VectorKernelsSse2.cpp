// The SSE2 forms of the vector kernels: four floats per register, the x86-64
// baseline.
#include "dsp/VectorKernelBodies.h"
#include "dsp/VectorOpsSse.h"

namespace qs {

Kernels Sse2Kernels() { return MakeKernels<Sse2Ops, Sse2Ops>(KernelPath::Sse2); }

}  // namespace qs
