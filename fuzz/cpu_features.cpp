// What __builtin_cpu_supports reads: the compiler runtime fills it in before
// main. Kept apart from any use of the builtin, which declares the same
// object in its own way (so this file must not use it).
#include "codec/internal/simd.hpp"

#ifdef VANTOREL_AVX2
extern "C" struct CpuModel {
  unsigned vendor, type, subtype;
  unsigned features[1];
} __cpu_model;
#endif

namespace 字符串加密::fuzz {

void ClearAvx2Feature() {
#ifdef VANTOREL_AVX2
  constexpr unsigned kAvx2 = 10;  // its bit among the features
  __cpu_model.features[0] &= ~(1u << kAvx2);
#endif
}

}  // namespace 字符串加密::fuzz
