#include "buffer/base64/kernels.h"

namespace korvex {
namespace base64 {

#if defined(__x86_64__) || defined(__i386__)

namespace {

// __builtin_cpu_supports also asks the system whether it saves the vector
// registers, so a feature here is one that can run.
Path Detect() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw")) return Path::kVbmi;
  if (__builtin_cpu_supports("avx2")) return Path::kAvx2;
  if (__builtin_cpu_supports("ssse3")) return Path::kSsse3;
  return Path::kScalar;
}

}  // namespace

Path FastestPath() {
  static const Path fastest = Detect();
  return fastest;
}

Kernels KernelsOf(Path path) {
  const Path fastest = FastestPath();
  switch (path < fastest ? path : fastest) {
    case Path::kVbmi:
      return {EncodeVbmi, DecodeVbmi};
    case Path::kAvx2:
      return {EncodeAvx2, DecodeAvx2};
    case Path::kSsse3:
      return {EncodeSsse3, DecodeSsse3};
    default:
      return {nullptr, nullptr};
  }
}

#else

Path FastestPath() { return Path::kScalar; }

Kernels KernelsOf(Path) { return {nullptr, nullptr}; }

#endif

}  // namespace base64
}  // namespace korvex
