#include "buffer/base64/kernels.h"

namespace korvex {
namespace base64 {

#if defined(__x86_64__) || defined(__i386__)

namespace {

// __builtin_cpu_supports also asks the system whether it saves the vector
// registers, so a feature here is one that can run.
Kernel Detect() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw")) return Kernel::kVbmi;
  if (__builtin_cpu_supports("avx2")) return Kernel::kAvx2;
  if (__builtin_cpu_supports("ssse3")) return Kernel::kSsse3;
  return Kernel::kScalar;
}

}  // namespace

Kernel FastestKernel() {
  static const Kernel fastest = Detect();
  return fastest;
}

KernelLoops LoopsOf(Kernel kernel) {
  const Kernel fastest = FastestKernel();
  switch (kernel < fastest ? kernel : fastest) {
    case Kernel::kVbmi:
      return {EncodeVbmi, DecodeVbmi};
    case Kernel::kAvx2:
      return {EncodeAvx2, DecodeAvx2};
    case Kernel::kSsse3:
      return {EncodeSsse3, DecodeSsse3};
    default:
      return {NULL, NULL};
  }
}

#else

Kernel FastestKernel() { return Kernel::kScalar; }

KernelLoops LoopsOf(Kernel) { return {NULL, NULL}; }

#endif

}  // namespace base64
}  // namespace korvex
