// UTF-16 written as UTF-8 a block at a time, for the codec's own UTF-8 and the
// command-line tool's standard streams alike.
#pragma once

#include <cstddef>

#include "codec/internal/simd.hpp"

namespace 字符串加密::utf8_blocks {

// Code units that are ASCII or from U+0800 to U+FFFF and no surrogates (text
// in Chinese, ASCII among it), written as their one or three bytes each at
// out: 16 of ASCII or eight of either at a time, with AVX2 where the
// processor has it, while such units go on and ten are left (the room for
// those holds what is written past their bytes). Returns how many units it
// took and moves out past their bytes; 0 where it cannot start, or without
// AVX2, so that the caller's plain loop goes on from there.
std::size_t WriteRun(const char16_t* in, std::size_t n, char*& out);

#ifdef VANTOREL_AVX2
// The code units of the eight three-byte characters from p (28 bytes are
// read), each in a 32-bit lane: characters 0 to 3 from bytes 0 to 11 in the
// low half, 4 to 7 from 12 to 23 in the high half. Bytes that are not such
// characters still make a number below 0x10000 each.
VANTOREL_TARGET_AVX2 inline __m256i ThreeByteUnits(const unsigned char* p) {
  const __m256i twelve = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)), 1);
  // Each character as b2 | b1 << 8 | b0 << 16.
  const __m256i d =
      _mm256_shuffle_epi8(twelve, _mm256_broadcastsi128_si256(_mm_setr_epi8(
                                      2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1)));
  return _mm256_or_si256(
      _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(d, 4), _mm256_set1_epi32(0xF000)),
                      _mm256_and_si256(_mm256_srli_epi32(d, 2), _mm256_set1_epi32(0x0FC0))),
      _mm256_and_si256(d, _mm256_set1_epi32(0x3F)));
}
#endif

}  // namespace 字符串加密::utf8_blocks
