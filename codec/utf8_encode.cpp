// Valid UTF-8 encoded straight to a code page's bytes through the tables'
// entries, one character at a time, or with AVX2 a run of ASCII 32 bytes at a
// time and eight three-byte characters (Chinese text) a step: no UTF-16 is
// written in between.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "codec/internal/simd.hpp"
#include "codec/internal/tables.hpp"
#include "codec/internal/utf8_blocks.hpp"

namespace 字符串加密::tables {
namespace {

constexpr std::uint16_t kUnmappable = EncodeEntries::kUnmappable;

#ifdef VANTOREL_AVX2
VANTOREL_TARGET_AVX2 inline std::uint32_t Mask(__m256i v) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
}

// ASCII and three-byte characters, mixed as Chinese text mixes them, from
// p[0], which starts a character, while 32 bytes are left: a run of ASCII
// copied 32 bytes at a time where ASCII is itself, up to eight three-byte
// characters in a row looked up at a time, with the run of ASCII after them.
// Stops before anything else, or a three-byte character whose bytes the
// table does not give as two. The UTF-8 is valid:
// a lead byte from E0 to EF starts three bytes. Returns how many bytes it
// read; moves out and characters on. What it writes past the end of the
// bytes it gives stays within the room EncodeUtf8 asks for.
VANTOREL_TARGET_AVX2 std::size_t MixedRun(const unsigned char* p, std::size_t n,
                                          const EncodeEntries& entries, char*& out_end,
                                          std::size_t& characters_read) {
  const std::uint16_t* const table = entries.entries;
  const bool ascii_is_itself = entries.ascii_is_itself;
  // Locals, kept in registers, handed back at the end.
  char* out = out_end;
  std::size_t characters = characters_read;
  std::size_t i = 0;
  while (i + 32 <= n) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const std::uint32_t ascii = ~Mask(v);
    if ((ascii & 1) != 0 && ascii_is_itself) {
      // All 32 are written; out moves on past those of the run. (Moving on
      // by 32 on a branch of its own, and by 24 for eight characters below,
      // lets the next step start before this one's bytes are looked at.)
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), v);
      if (ascii == 0xFFFFFFFFu) {
        out += 32;
        i += 32;
        characters += 32;
        continue;
      }
      const auto run = static_cast<std::size_t>(std::countr_one(ascii));
      out += run;
      i += run;
      characters += run;
      continue;
    }
    // How many three-byte characters come first in a row, up to eight: the
    // k-th starts 3k bytes in.
    const std::uint32_t lead3 = Mask(
        _mm256_cmpeq_epi8(_mm256_and_si256(v, _mm256_set1_epi8(-0x10)), _mm256_set1_epi8(-0x20)));
    const std::uint32_t missing = ~lead3 & 0x249249;
    const int k = missing == 0 ? 8 : std::countr_zero(missing) / 3;
    if (k == 0) break;
    // Their code units (past the k-th, whatever the bytes make).
    const __m256i units = utf8_blocks::ThreeByteUnits(p + i);
    // Their entries, built in registers into two words (eight small stores
    // read back as one would wait for all of them), and which of them are
    // two bytes: from 0x100 (a trail byte) up to, not with, kUnmappable.
    alignas(32) std::uint32_t u[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(u), units);
    std::uint64_t words[2];
    for (int half = 0; half < 2; ++half) {
      const std::uint32_t* const h = u + 4 * half;
      words[half] = std::uint64_t{table[h[0]]} | std::uint64_t{table[h[1]]} << 16 |
                    std::uint64_t{table[h[2]]} << 32 | std::uint64_t{table[h[3]]} << 48;
    }
    const __m128i e =
        _mm_set_epi64x(static_cast<long long>(words[1]), static_cast<long long>(words[0]));
    const __m128i two =
        _mm_cmpeq_epi16(_mm_min_epu16(_mm_max_epu16(e, _mm_set1_epi16(0x100)),
                                      _mm_set1_epi16(static_cast<short>(kUnmappable - 1))),
                        e);
    const auto first_k = (1u << 2 * k) - 1;
    if ((static_cast<std::uint32_t>(_mm_movemask_epi8(two)) & first_k) != first_k) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), e);
    if (missing == 0) {
      out += 16;
      i += 24;
      characters += 8;
      continue;
    }
    out += 2 * k;
    i += 3 * static_cast<std::size_t>(k);
    characters += static_cast<std::size_t>(k);
    // The run of ASCII that most often ends them, copied in the same step,
    // up to 16 bytes (the 16 are written; out moves on past the run).
    if (ascii_is_itself && i + 16 <= n) {
      const auto run = static_cast<std::size_t>(std::min(std::countr_one(ascii >> (3 * k)), 16));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
      out += run;
      i += run;
      characters += run;
    }
  }
  out_end = out;
  characters_read = characters;
  return i;
}
#endif

}  // namespace

std::optional<Utf8Encoded> EncodeUtf8(std::string_view utf8, CodePage cp, char* out) {
  const std::optional<EncodeEntries> entries = EncodeEntriesOf(cp);
  if (!entries) return std::nullopt;
  const std::uint16_t* const table = entries->entries;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* const end = p + utf8.size();
  char* const first = out;
  Utf8Encoded result;
  std::size_t characters = 0;
#ifdef VANTOREL_AVX2
  const bool vectors = simd::HasAvx2();
  // Past where the vector loop stopped last, the plain one takes 16 bytes
  // before it is tried again.
  const unsigned char* plain_until = p;
#endif
  while (p < end) {
#ifdef VANTOREL_AVX2
    if (vectors && p >= plain_until) {
      p += MixedRun(p, static_cast<std::size_t>(end - p), *entries, out, characters);
      if (p == end) break;
      plain_until = p + 16;
    }
#endif
    // One character; the UTF-8 is valid, so its lead byte tells its length.
    std::uint32_t c = p[0];
    int length = 1;
    if (c >= 0xF0) return std::nullopt;  // beyond the first plane
    if (c >= 0xE0) {
      c = (c & 0x0F) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      length = 3;
    } else if (c >= 0x80) {
      c = (c & 0x1F) << 6 | (p[1] & 0x3Fu);
      length = 2;
    }
    const std::uint16_t e = table[c];
    if (e < kUnmappable) {
      // Never more bytes than were read, so that they fit in the room given.
      if (e > 0xFF && length == 1) return std::nullopt;
      // Both bytes are written; the second is overwritten when there is none.
      std::memcpy(out, &e, 2);
      out += e > 0xFF ? 2 : 1;
    } else if (e == kUnmappable) {
      if (result.unmappable++ == 0) {
        result.first_unmappable = characters;
        result.first_character = c;
      }
      *out++ = '?';
    } else {
      return std::nullopt;
    }
    p += length;
    ++characters;
  }
  result.bytes = static_cast<std::size_t>(out - first);
  result.characters = characters;
  return result;
}

}  // namespace 字符串加密::tables
