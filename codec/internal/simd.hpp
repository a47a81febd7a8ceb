// Whether the hot loops may use AVX2: compiled in on x86-64 with GCC or Clang,
// used when the processor has it. Elsewhere the plain loops run.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VANTOREL_AVX2 1
#define VANTOREL_TARGET_AVX2 __attribute__((target("avx2")))
#include <immintrin.h>

namespace 字符串加密::simd {

inline bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") != 0;
  return has;
}

}  // namespace 字符串加密::simd
#endif
