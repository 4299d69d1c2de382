#include "dsp/VectorKernels.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "dsp/VectorKernelBodies.h"

namespace qs {

#if defined(__x86_64__)
#define QS_X86_KERNELS 1
Kernels Sse2Kernels();  // VectorKernelsSse2.cpp
Kernels Avx2Kernels();  // VectorKernelsAvx2.cpp
#endif

namespace {

KernelPath BestPath() {
#if defined(QS_X86_KERNELS)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? KernelPath::Avx2 : KernelPath::Sse2;
#else
  return KernelPath::Plain;
#endif
}

KernelPath Supported(KernelPath wanted) {
  const KernelPath best = BestPath();
  return static_cast<int>(wanted) <= static_cast<int>(best) ? wanted : best;
}

const Kernels& Table(KernelPath path) {
  static const Kernels plain = MakeKernels<PlainOps, PlainOps>(KernelPath::Plain);
#if defined(QS_X86_KERNELS)
  static const Kernels sse2 = Sse2Kernels();
  static const Kernels avx2 = BestPath() == KernelPath::Avx2 ? Avx2Kernels() : sse2;
  if (path == KernelPath::Avx2) return avx2;
  if (path == KernelPath::Sse2) return sse2;
#endif
  (void)path;
  return plain;
}

KernelPath ChosenPath() {
  const char* wanted = std::getenv("QUELLSCOPE_KERNELS");
  if (wanted != nullptr) {
    for (KernelPath p : {KernelPath::Plain, KernelPath::Sse2, KernelPath::Avx2})
      if (std::strcmp(wanted, KernelPathName(p)) == 0) return Supported(p);
  }
  return BestPath();
}

}  // namespace

const Kernels& KernelsFor(KernelPath path) { return Table(Supported(path)); }

const Kernels& ActiveKernels() {
  static const Kernels& active = KernelsFor(ChosenPath());
  return active;
}

const char* KernelPathName(KernelPath path) {
  switch (path) {
    case KernelPath::Plain:
      return "plain";
    case KernelPath::Sse2:
      return "sse2";
    case KernelPath::Avx2:
      return "avx2";
  }
  return "plain";
}

}  // namespace qs
