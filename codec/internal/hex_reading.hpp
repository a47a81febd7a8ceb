// What the readers of hex text share (the lenient reading in hex.cpp, the
// any-shape reading in shapes.cpp, the look for unread characters in
// unread.cpp): what each character is to the lenient reading, and the AVX2
// steps that tell digits apart and read canonical groups 16 at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "codec/codec.hpp"
#include "codec/internal/simd.hpp"

namespace 字符串加密::hex_reading {

// HexToBytes's bytes written at out, which has room for one byte per
// character of hex and one more, without counting its groups first: how
// many, or the group above FF. all_read: true only where FindUnreadGroups
// would find nothing to report (every group read whole, with a digit); false
// says nothing.
Result<std::size_t> HexToBytesAt(std::string_view hex, char* out, bool& all_read);

// Whether text is canonical hex text of upper-case digits with a space after
// every group, as encode writes it and one more space; its bytes, one for
// every three characters, written at out when it is (out may hold anything
// when it is not).
bool ReadUpperGroups(std::string_view text, char* out);

// Where hex text starts and ends once the spaces at both ends are left out
// (begin == end when there is nothing else).
struct Inner {
  std::size_t begin, end;
};
template <class Char>
constexpr Inner WithoutOuterSpaces(std::basic_string_view<Char> hex) {
  std::size_t begin = 0, end = hex.size();
  while (begin < end && hex[begin] == Char(' ')) ++begin;
  while (end > begin && hex[end - 1] == Char(' ')) --end;
  return {begin, end};
}

// What each character below 128 means to the reader.
enum : std::uint8_t { kJunk = 0xFF, kDropped = 0xFE, kSpace = 0xFD };

constexpr std::array<std::uint8_t, 128> MakeClasses() {
  std::array<std::uint8_t, 128> classes{};
  for (auto& c : classes) c = kJunk;
  for (int c = '0'; c <= '9'; ++c) classes[c] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) classes[c] = static_cast<std::uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) classes[c] = static_cast<std::uint8_t>(c - 'a' + 10);
  classes['\t'] = classes['\n'] = classes['\r'] = kDropped;
  classes[' '] = kSpace;
  return classes;
}
constexpr auto kClasses = MakeClasses();

template <class Char>
std::uint8_t ClassOf(Char c) {
  const auto u = static_cast<std::make_unsigned_t<Char>>(c);
  return u < 128 ? kClasses[u] : std::uint8_t{kJunk};
}

#ifdef VANTOREL_AVX2

// Values of 16 hex digits of either case, or false when one is no digit.
VANTOREL_TARGET_AVX2 inline bool DigitValues(__m128i c, __m128i& value) {
  const __m128i d = _mm_sub_epi8(c, _mm_set1_epi8('0'));
  const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
  const __m128i l = _mm_sub_epi8(_mm_or_si128(c, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
  const __m128i is_letter = _mm_cmpeq_epi8(_mm_min_epu8(l, _mm_set1_epi8(5)), l);
  value = _mm_or_si128(_mm_and_si128(is_digit, d),
                       _mm_and_si128(is_letter, _mm_add_epi8(l, _mm_set1_epi8(10))));
  return _mm_movemask_epi8(_mm_or_si128(is_digit, is_letter)) == 0xFFFF;
}

// 48 characters of canonical hex text ("HL " sixteen times, either case) to
// their 16 bytes; false, writing nothing, when they are anything else.
VANTOREL_TARGET_AVX2 inline bool ReadBlock(__m128i c0, __m128i c1, __m128i c2, unsigned char* out) {
  const __m128i space = _mm_set1_epi8(' ');
  const int spaces = (_mm_movemask_epi8(_mm_cmpeq_epi8(c0, space)) & 0x4924) |
                     (_mm_movemask_epi8(_mm_cmpeq_epi8(c1, space)) & 0x2492) |
                     (_mm_movemask_epi8(_mm_cmpeq_epi8(c2, space)) & 0x9249);
  if (spaces != (0x4924 | 0x2492 | 0x9249)) return false;
  constexpr char z = -1;
  const __m128i hi = _mm_or_si128(
      _mm_or_si128(
          _mm_shuffle_epi8(c0, _mm_setr_epi8(0, 3, 6, 9, 12, 15, z, z, z, z, z, z, z, z, z, z)),
          _mm_shuffle_epi8(c1, _mm_setr_epi8(z, z, z, z, z, z, 2, 5, 8, 11, 14, z, z, z, z, z))),
      _mm_shuffle_epi8(c2, _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, 1, 4, 7, 10, 13)));
  const __m128i lo = _mm_or_si128(
      _mm_or_si128(
          _mm_shuffle_epi8(c0, _mm_setr_epi8(1, 4, 7, 10, 13, z, z, z, z, z, z, z, z, z, z, z)),
          _mm_shuffle_epi8(c1, _mm_setr_epi8(z, z, z, z, z, 0, 3, 6, 9, 12, 15, z, z, z, z, z))),
      _mm_shuffle_epi8(c2, _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, 2, 5, 8, 11, 14)));
  __m128i hv, lv;
  if (!DigitValues(hi, hv) || !DigitValues(lo, lv)) return false;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(_mm_slli_epi16(hv, 4), lv));
  return true;
}

VANTOREL_TARGET_AVX2 inline bool ReadBlock(const char* in, unsigned char* out) {
  return ReadBlock(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)),
                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16)),
                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 32)), out);
}

VANTOREL_TARGET_AVX2 inline bool ReadBlock(const char16_t* in, unsigned char* out) {
  // Characters above FF pack to FF or 00, neither a digit nor a space.
  const auto load = [in](int k) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8 * k));
  };
  return ReadBlock(_mm_packus_epi16(load(0), load(1)), _mm_packus_epi16(load(2), load(3)),
                   _mm_packus_epi16(load(4), load(5)), out);
}

// Which of 32 characters are hex digits of either case (all bits set), and
// their values (0 for other characters).
VANTOREL_TARGET_AVX2 inline __m256i HexDigits(__m256i c, __m256i& values) {
  const __m256i d = _mm256_sub_epi8(c, _mm256_set1_epi8('0'));
  const __m256i is_digit = _mm256_cmpeq_epi8(_mm256_min_epu8(d, _mm256_set1_epi8(9)), d);
  const __m256i l =
      _mm256_sub_epi8(_mm256_or_si256(c, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('a'));
  const __m256i is_letter = _mm256_cmpeq_epi8(_mm256_min_epu8(l, _mm256_set1_epi8(5)), l);
  values = _mm256_or_si256(_mm256_and_si256(is_digit, d),
                           _mm256_and_si256(is_letter, _mm256_add_epi8(l, _mm256_set1_epi8(10))));
  return _mm256_or_si256(is_digit, is_letter);
}

// The same on two blocks at once, the first in the low half of each vector
// and the second in the high half: 96 characters to 32 bytes.
VANTOREL_TARGET_AVX2 inline bool DigitValues(__m256i c, __m256i& value) {
  return _mm256_movemask_epi8(HexDigits(c, value)) == -1;
}

VANTOREL_TARGET_AVX2 inline __m256i LoadTwo(const char* low, const char* high) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

VANTOREL_TARGET_AVX2 inline std::uint32_t SpacesAt(__m256i c, std::uint32_t where) {
  return static_cast<std::uint32_t>(
             _mm256_movemask_epi8(_mm256_cmpeq_epi8(c, _mm256_set1_epi8(' ')))) &
         where;
}

VANTOREL_TARGET_AVX2 inline bool ReadTwoBlocks(const char* in, unsigned char* out) {
  const __m256i c0 = LoadTwo(in, in + 48), c1 = LoadTwo(in + 16, in + 64),
                c2 = LoadTwo(in + 32, in + 80);
  constexpr std::uint32_t k0 = 0x4924'4924, k1 = 0x2492'2492, k2 = 0x9249'9249;
  if ((SpacesAt(c0, k0) | SpacesAt(c1, k1) | SpacesAt(c2, k2)) != (k0 | k1 | k2)) return false;
  constexpr char z = -1;
  const __m256i hi = _mm256_or_si256(
      _mm256_or_si256(_mm256_shuffle_epi8(
                          c0, _mm256_setr_epi8(0, 3, 6, 9, 12, 15, z, z, z, z, z, z, z, z, z, z, 0,
                                               3, 6, 9, 12, 15, z, z, z, z, z, z, z, z, z, z)),
                      _mm256_shuffle_epi8(
                          c1, _mm256_setr_epi8(z, z, z, z, z, z, 2, 5, 8, 11, 14, z, z, z, z, z, z,
                                               z, z, z, z, z, 2, 5, 8, 11, 14, z, z, z, z, z))),
      _mm256_shuffle_epi8(c2, _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, 1, 4, 7, 10, 13, z,
                                               z, z, z, z, z, z, z, z, z, z, 1, 4, 7, 10, 13)));
  const __m256i lo = _mm256_or_si256(
      _mm256_or_si256(_mm256_shuffle_epi8(
                          c0, _mm256_setr_epi8(1, 4, 7, 10, 13, z, z, z, z, z, z, z, z, z, z, z, 1,
                                               4, 7, 10, 13, z, z, z, z, z, z, z, z, z, z, z)),
                      _mm256_shuffle_epi8(
                          c1, _mm256_setr_epi8(z, z, z, z, z, 0, 3, 6, 9, 12, 15, z, z, z, z, z, z,
                                               z, z, z, z, 0, 3, 6, 9, 12, 15, z, z, z, z, z))),
      _mm256_shuffle_epi8(c2, _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, 2, 5, 8, 11, 14, z,
                                               z, z, z, z, z, z, z, z, z, z, 2, 5, 8, 11, 14)));
  __m256i hv, lv;
  if (!DigitValues(hi, hv) || !DigitValues(lo, lv)) return false;
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                      _mm256_or_si256(_mm256_slli_epi16(hv, 4), lv));
  return true;
}

// Reads whole blocks of canonical groups from `at` while there are any, and
// returns where it stopped. Each block ends with the space before the next
// group, so a block is only read when more text follows it. Narrow text goes
// two blocks at a time while it can.
template <class Char>
VANTOREL_TARGET_AVX2 std::size_t ReadBlocksAvx2(const Char* text, std::size_t at, std::size_t end,
                                                unsigned char* out, std::size_t& written) {
  if constexpr (sizeof(Char) == 1) {
    while (at + 96 < end && ReadTwoBlocks(text + at, out + written)) {
      at += 96;
      written += 32;
    }
  }
  while (at + 48 < end && ReadBlock(text + at, out + written)) {
    at += 48;
    written += 16;
  }
  return at;
}

VANTOREL_TARGET_AVX2 inline std::uint32_t Mask(__m256i m) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(m));
}

VANTOREL_TARGET_AVX2 inline __m256i Load32(const char* in) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
}

VANTOREL_TARGET_AVX2 inline __m256i Load32(const char16_t* in) {
  // Characters above FF pack to FF or 00, neither a digit nor a space.
  const __m256i packed =
      _mm256_packus_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)),
                          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 16)));
  return _mm256_permute4x64_epi64(packed, 0xD8);
}

// What 32 characters are to the lenient reading, as bit masks.
struct Classes32 {
  std::uint32_t space, digit, dropped;
};

VANTOREL_TARGET_AVX2 inline Classes32 Classes(__m256i c, __m256i is_digit) {
  const __m256i dropped =
      _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(c, _mm256_set1_epi8('\t')),
                                      _mm256_cmpeq_epi8(c, _mm256_set1_epi8('\n'))),
                      _mm256_cmpeq_epi8(c, _mm256_set1_epi8('\r')));
  return {Mask(_mm256_cmpeq_epi8(c, _mm256_set1_epi8(' '))), Mask(is_digit), Mask(dropped)};
}

#endif

}  // namespace 字符串加密::hex_reading
