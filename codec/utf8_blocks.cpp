// UTF-16 written as UTF-8 a block at a time (internal/utf8_blocks.hpp).
#include "codec/internal/utf8_blocks.hpp"

#include <cstdint>

#include "codec/internal/simd.hpp"

namespace 字符串加密::utf8_blocks {
namespace {

#ifdef VANTOREL_AVX2
// How the bytes of four code units, each in a 32-bit lane as b0 | b1 << 8 |
// b2 << 16, are put one after the other: the pshufb mask and the bytes'
// count for each set of those of them that are ASCII (bit j for lane j),
// whose one byte is b0; the others take three.
struct Squeeze {
  alignas(16) std::int8_t order[16][16];
  std::uint8_t length[16];
};

constexpr Squeeze MakeSqueeze() {
  Squeeze squeeze{};
  for (int ascii = 0; ascii < 16; ++ascii) {
    int at = 0;
    for (int lane = 0; lane < 4; ++lane) {
      const int bytes = (ascii >> lane & 1) != 0 ? 1 : 3;
      for (int k = 0; k < bytes; ++k)
        squeeze.order[ascii][at++] = static_cast<std::int8_t>(4 * lane + k);
    }
    squeeze.length[ascii] = static_cast<std::uint8_t>(at);
    while (at < 16) squeeze.order[ascii][at++] = -1;
  }
  return squeeze;
}

constexpr Squeeze kSqueeze = MakeSqueeze();

// Code units that are ASCII or from U+0800 to U+FFFF and no surrogates (text
// in Chinese, ASCII among it), as their one or three bytes each at w, eight at
// a time while all eight are such and ten are left (the room for those holds
// what is written past their bytes); returns how many it wrote and moves w on.
VANTOREL_TARGET_AVX2 std::size_t Avx2Run(const char16_t* in, std::size_t n, char*& w) {
  std::size_t i = 0;
  while (i + 10 <= n) {
    if (i + 16 <= n) {  // 16 of ASCII
      const __m256i units = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
      if (_mm256_testz_si256(units, _mm256_set1_epi16(static_cast<short>(0xFF80)))) {
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(w),
            _mm_packus_epi16(_mm256_castsi256_si128(units), _mm256_extracti128_si256(units, 1)));
        w += 16;
        i += 16;
        continue;
      }
    }
    const __m256i u =
        _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
    const __m256i ascii = _mm256_cmpgt_epi32(_mm256_set1_epi32(0x80), u);
    const __m256i two_bytes =
        _mm256_andnot_si256(ascii, _mm256_cmpgt_epi32(_mm256_set1_epi32(0x800), u));
    const __m256i surrogate = _mm256_cmpeq_epi32(_mm256_and_si256(u, _mm256_set1_epi32(0xF800)),
                                                 _mm256_set1_epi32(0xD800));
    if (!_mm256_testz_si256(_mm256_or_si256(two_bytes, surrogate), _mm256_set1_epi32(-1))) break;
    // b0 | b1 << 8 | b2 << 16 in each lane; an ASCII unit is its own b0.
    const __m256i b0 = _mm256_or_si256(_mm256_srli_epi32(u, 12), _mm256_set1_epi32(0xE0));
    const __m256i b1 = _mm256_slli_epi32(
        _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(u, 6), _mm256_set1_epi32(0x3F)),
                        _mm256_set1_epi32(0x80)),
        8);
    const __m256i b2 = _mm256_slli_epi32(
        _mm256_or_si256(_mm256_and_si256(u, _mm256_set1_epi32(0x3F)), _mm256_set1_epi32(0x80)), 16);
    const __m256i d = _mm256_blendv_epi8(_mm256_or_si256(_mm256_or_si256(b0, b1), b2), u, ascii);
    const auto lanes = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(ascii)));
    const unsigned low = lanes & 15, high = lanes >> 4;
    const __m256i order = _mm256_inserti128_si256(
        _mm256_castsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(kSqueeze.order[low]))),
        _mm_load_si128(reinterpret_cast<const __m128i*>(kSqueeze.order[high])), 1);
    const __m256i bytes = _mm256_shuffle_epi8(d, order);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm256_castsi256_si128(bytes));
    w += kSqueeze.length[low];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm256_extracti128_si256(bytes, 1));
    w += kSqueeze.length[high];
    i += 8;
  }
  return i;
}
#endif

}  // namespace

std::size_t WriteRun(const char16_t* in, std::size_t n, char*& out) {
#ifdef VANTOREL_AVX2
  if (simd::HasAvx2()) return Avx2Run(in, n, out);
#endif
  (void)in, (void)n, (void)out;
  return 0;
}

}  // namespace 字符串加密::utf8_blocks
