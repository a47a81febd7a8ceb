#include "cli/utf8.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#include "codec/internal/simd.hpp"
#include "codec/internal/utf8_blocks.hpp"

// The hot loops take 64 bytes or eight characters at a time with AVX2 where
// the processor has it (codec/internal/simd.hpp); elsewhere the plain loops
// below do all of it.
namespace vantorel {
namespace {

using Kind = Utf8Error::Kind;

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the first n bytes of p that are all ASCII, 32 and then eight at a
// time.
std::size_t AsciiRun(const unsigned char* p, std::size_t n) {
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    std::uint64_t words[4];
    std::memcpy(words, p + i, sizeof words);
    if ((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080u) break;
  }
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + i, sizeof word);
    if (word & 0x8080808080808080u) break;
  }
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

// Lead bytes of three-byte sequences whose second byte may be any
// continuation byte (E0 and ED narrow it): most of the BMP, all of CJK.
bool IsPlainThreeByteLead(unsigned char b) {
  return (b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF;
}

// Length of the run of such three-byte sequences at the start of the first n
// bytes of p: text in Chinese is mostly that.
std::size_t ThreeByteRun(const unsigned char* p, std::size_t n) {
  std::size_t i = 0;
  while (i + 3 <= n && IsPlainThreeByteLead(p[i]) && IsContinuation(p[i + 1]) &&
         IsContinuation(p[i + 2]))
    i += 3;
  return i;
}

#ifdef VANTOREL_AVX2
using 字符串加密::simd::HasAvx2;

// Which of 64 bytes are ASCII, continuation bytes, and lead bytes of the
// plain three-byte sequences (IsPlainThreeByteLead), as bit masks.
struct Classes {
  std::uint64_t ascii, continuation, lead3;
};

VANTOREL_TARGET_AVX2 inline std::uint32_t Mask(__m256i v) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
}

VANTOREL_TARGET_AVX2 inline Classes Classify(const unsigned char* p) {
  Classes c{};
  for (int half = 0; half < 2; ++half) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * half));
    // Signed compares: bytes from 80 up are below 00.
    const __m256i continuation = _mm256_cmpgt_epi8(_mm256_set1_epi8(-0x40), v);  // 80 to BF
    const __m256i e_row = _mm256_cmpeq_epi8(_mm256_and_si256(v, _mm256_set1_epi8(-0x10)),
                                            _mm256_set1_epi8(-0x20));  // E0 to EF
    const __m256i narrowed = _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(-0x20)),
                                             _mm256_cmpeq_epi8(v, _mm256_set1_epi8(-0x13)));
    const int shift = 32 * half;
    c.ascii |= std::uint64_t{~Mask(v)} << shift;
    c.continuation |= std::uint64_t{Mask(continuation)} << shift;
    c.lead3 |= std::uint64_t{Mask(_mm256_andnot_si256(narrowed, e_row))} << shift;
  }
  return c;
}

// Validates ASCII and plain three-byte sequences 64 bytes at a time from p[0],
// which starts a character. Returns how many bytes it found valid, always
// ending before a character: the first block holding anything else (or a
// sequence the end of the input cuts) is left to the plain loop.
VANTOREL_TARGET_AVX2 std::size_t ValidRun(const unsigned char* p, std::size_t n) {
  std::size_t i = 0;
  std::uint64_t carried = 0;  // continuation bytes due at the start of the block
  std::uint64_t last_leads = 0;
  for (; i + 64 <= n; i += 64) {
    // 64 bytes of ASCII after a whole character (hex text, English).
    const __m256i either =
        _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)),
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32)));
    if (carried == 0 && Mask(either) == 0) {
      last_leads = 0;
      continue;
    }
    const Classes c = Classify(p + i);
    const std::uint64_t due = c.lead3 << 1 | c.lead3 << 2 | carried;
    if ((c.ascii | c.continuation | c.lead3) != ~std::uint64_t{0} || c.continuation != due) break;
    carried = (c.lead3 >> 63) * 3 | (c.lead3 >> 62 & 1);
    last_leads = c.lead3;
  }
  // Back to the lead byte of a sequence that goes on past i.
  if (last_leads >> 63) return i - 1;
  if (last_leads >> 62 & 1) return i - 2;
  return i;
}

// For each set of eight 16-bit lanes to keep (bit j for lane j), the pshufb
// mask that puts them one after the other.
struct Compact {
  alignas(16) std::int8_t order[256][16];
};

constexpr Compact MakeCompact() {
  Compact compact{};
  for (int keep = 0; keep < 256; ++keep) {
    int at = 0;
    for (int lane = 0; lane < 8; ++lane) {
      if ((keep >> lane & 1) == 0) continue;
      compact.order[keep][at++] = static_cast<std::int8_t>(2 * lane);
      compact.order[keep][at++] = static_cast<std::int8_t>(2 * lane + 1);
    }
    while (at < 16) compact.order[keep][at++] = -1;
  }
  return compact;
}

constexpr Compact kCompact = MakeCompact();

// 16 bytes as 16-bit lanes.
VANTOREL_TARGET_AVX2 inline __m256i Widen(const unsigned char* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// ASCII and plain three-byte sequences (IsPlainThreeByteLead and two
// continuation bytes each), mixed as Chinese text mixes them, from p[0],
// which starts a character, as code units at out: the characters that start
// in each 16 bytes at a time, while every byte up to the end of the last of
// them is such (checked here) and 32 are left. Returns how many bytes it read
// and moves out on.
VANTOREL_TARGET_AVX2 std::size_t WidenRun(const unsigned char* p, std::size_t n, char16_t*& out) {
  std::size_t i = 0;
  while (i + 32 <= n) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const std::uint32_t ascii = ~Mask(v);
    if (ascii == 0xFFFFFFFFu) {  // 32 of ASCII
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                          _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16),
                          _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)));
      out += 32;
      i += 32;
      continue;
    }
    const std::uint32_t continuation = Mask(_mm256_cmpgt_epi8(_mm256_set1_epi8(-0x40), v));
    const __m256i e_row =
        _mm256_cmpeq_epi8(_mm256_and_si256(v, _mm256_set1_epi8(-0x10)), _mm256_set1_epi8(-0x20));
    const __m256i narrowed = _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(-0x20)),
                                             _mm256_cmpeq_epi8(v, _mm256_set1_epi8(-0x13)));
    const std::uint32_t all_leads = Mask(_mm256_andnot_si256(narrowed, e_row));
    if ((all_leads & 0xFFFFFF) == 0x249249 && (continuation & 0xFFFFFF) == 0xDB6DB6) {
      // Eight three-byte characters (Chinese text without ASCII among it).
      const __m256i units = 字符串加密::utf8_blocks::ThreeByteUnits(p + i);
      const __m256i packed = _mm256_packus_epi32(units, units);  // 64-bit halves 0 and 2
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                       _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08)));
      out += 8;
      i += 24;
      continue;
    }
    const std::uint32_t leads = all_leads & 0xFFFF;
    // The characters that start in the first 16 bytes end 16, 17 or 18 bytes in.
    const int length = 16 + static_cast<int>(leads >> 14 & 1) + 2 * static_cast<int>(leads >> 15);
    const std::uint32_t all = (std::uint32_t{1} << length) - 1;
    if (((ascii | continuation | leads) & all) != all ||
        (continuation & all) != ((leads << 1 | leads << 2) & all))
      break;
    const __m256i b0 = Widen(p + i), b1 = Widen(p + i + 1), b2 = Widen(p + i + 2);
    const __m256i three = _mm256_or_si256(
        _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(b0, _mm256_set1_epi16(0x0F)), 12),
                        _mm256_slli_epi16(_mm256_and_si256(b1, _mm256_set1_epi16(0x3F)), 6)),
        _mm256_and_si256(b2, _mm256_set1_epi16(0x3F)));
    const __m256i units =
        _mm256_blendv_epi8(three, b0, _mm256_cmpgt_epi16(_mm256_set1_epi16(0x80), b0));
    const std::uint32_t starts = (ascii | leads) & 0xFFFF;
    const std::uint32_t low = starts & 0xFF, high = starts >> 8;
    const __m256i order = _mm256_inserti128_si256(
        _mm256_castsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(kCompact.order[low]))),
        _mm_load_si128(reinterpret_cast<const __m128i*>(kCompact.order[high])), 1);
    const __m256i kept = _mm256_shuffle_epi8(units, order);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(kept));
    out += std::popcount(low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_extracti128_si256(kept, 1));
    out += std::popcount(high);
    i += static_cast<std::size_t>(length);
  }
  return i;
}

#endif

// Reads the sequence that starts at p (left > 0 bytes available) into cp and
// returns its length, or returns 0 and sets kind when it is not valid.
int ReadSequence(const unsigned char* p, std::size_t left, char32_t& cp, Kind& kind) {
  const unsigned char lead = p[0];
  if (lead < 0x80) {
    cp = lead;
    return 1;
  }
  int length = 0;
  // The range the second byte must fall in; outside it (but still a
  // continuation byte) the sequence is the named kind of wrong.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  Kind outside = Kind::kTruncated;
  if (lead < 0xC0) {
    kind = Kind::kStrayContinuation;
    return 0;
  } else if (lead < 0xC2) {
    kind = Kind::kOverlong;
    return 0;
  } else if (lead < 0xE0) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead < 0xF0) {
    length = 3;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0, outside = Kind::kOverlong;
    if (lead == 0xED) high = 0x9F, outside = Kind::kSurrogate;
  } else if (lead < 0xF5) {
    length = 4;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90, outside = Kind::kOverlong;
    if (lead == 0xF4) high = 0x8F, outside = Kind::kTooLarge;
  } else {
    kind = lead < 0xF8 ? Kind::kTooLarge : Kind::kInvalidByte;
    return 0;
  }
  for (int i = 1; i < length; ++i) {
    if (static_cast<std::size_t>(i) >= left || !IsContinuation(p[i])) {
      kind = Kind::kTruncated;
      return 0;
    }
    if (i == 1 && (p[1] < low || p[1] > high)) {
      kind = outside;
      return 0;
    }
    cp = cp << 6 | (p[i] & 0x3F);
  }
  return length;
}

#ifdef VANTOREL_AVX2
// How many of n code units are low surrogates, 16 at a time.
VANTOREL_TARGET_AVX2 std::size_t LowSurrogates(const char16_t* units, std::size_t n) {
  std::size_t count = 0, i = 0;
  while (i + 16 <= n) {
    // Up to 2^15 steps into 16-bit counts (each step adds 0 or 1 per lane).
    __m256i counts = _mm256_setzero_si256();
    for (std::size_t steps = 0; steps < 0x7FFF && i + 16 <= n; ++steps, i += 16) {
      const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(units + i));
      const __m256i low =
          _mm256_cmpeq_epi16(_mm256_and_si256(u, _mm256_set1_epi16(static_cast<short>(0xFC00))),
                             _mm256_set1_epi16(static_cast<short>(0xDC00)));
      counts = _mm256_sub_epi16(counts, low);
    }
    alignas(32) std::uint16_t lanes[16];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), counts);
    for (const std::uint16_t lane : lanes) count += lane;
  }
  for (; i < n; ++i) count += (units[i] & 0xFC00) == 0xDC00;
  return count;
}
#endif

// The UTF-16 form of utf8 into w, which has room for a code unit per byte;
// returns the end of what it wrote, or at invalid input nothing, with the
// error.
char16_t* Utf16Into(std::string_view utf8, char16_t* w, std::optional<Utf8Error>& error) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
#ifdef VANTOREL_AVX2
  const bool vectors = HasAvx2();
  // Where the vector loop stopped last: the plain one goes on past the 16
  // bytes it could not take before it is tried again.
  std::size_t plain_until = 0;
#endif
  while (i < n) {
#ifdef VANTOREL_AVX2
    if (vectors && i >= plain_until) {
      i += WidenRun(p + i, n - i, w);
      plain_until = i + 16;
    }
#endif
    const std::size_t run = AsciiRun(p + i, n - i);
    for (std::size_t k = 0; k < run; ++k) *w++ = p[i + k];
    i += run;
    const std::size_t three = ThreeByteRun(p + i, n - i);
    for (std::size_t k = 0; k < three; k += 3) {
      *w++ = static_cast<char16_t>((p[i + k] & 0x0F) << 12 | (p[i + k + 1] & 0x3F) << 6 |
                                   (p[i + k + 2] & 0x3F));
    }
    i += three;
    if (i == n) break;
    char32_t cp;
    Kind kind;
    const int length = ReadSequence(p + i, n - i, cp, kind);
    if (length == 0) {
      error = Utf8Error{kind, i};
      return nullptr;
    }
    if (cp < 0x10000) {
      *w++ = static_cast<char16_t>(cp);
    } else {
      cp -= 0x10000;
      *w++ = static_cast<char16_t>(0xD800 | (cp >> 10));
      *w++ = static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    }
    i += static_cast<std::size_t>(length);
  }
  return w;
}

}  // namespace

std::size_t CodePointsIn(std::u16string_view units) {
#ifdef VANTOREL_AVX2
  if (HasAvx2()) return units.size() - LowSurrogates(units.data(), units.size());
#endif
  std::size_t low_surrogates = 0;
  for (const char16_t u : units) low_surrogates += (u & 0xFC00) == 0xDC00;
  return units.size() - low_surrogates;
}

std::string_view Describe(Utf8Error::Kind kind) {
  switch (kind) {
    case Kind::kInvalidByte:
      return "a byte that never appears in UTF-8";
    case Kind::kStrayContinuation:
      return "a continuation byte without a lead byte";
    case Kind::kOverlong:
      return "an overlong sequence";
    case Kind::kSurrogate:
      return "a surrogate (U+D800 to U+DFFF)";
    case Kind::kTooLarge:
      return "a value above U+10FFFF";
    case Kind::kTruncated:
      return "an incomplete sequence";
  }
  return "an invalid sequence";
}

std::optional<Utf8Error> FindInvalidUtf8(std::string_view utf8) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
#ifdef VANTOREL_AVX2
  const bool vectors = HasAvx2();
  // Where the vector loop stopped last: the plain loop goes on a block past it.
  std::size_t plain_until = 0;
#endif
  while (i < n) {
#ifdef VANTOREL_AVX2
    if (vectors && i >= plain_until) {
      i += ValidRun(p + i, n - i);
      plain_until = i + 64;
    }
#endif
    i += AsciiRun(p + i, n - i);
    i += ThreeByteRun(p + i, n - i);
    if (i == n) break;
    char32_t cp;
    Kind kind;
    const int length = ReadSequence(p + i, n - i, cp, kind);
    if (length == 0) return Utf8Error{kind, i};
    i += static_cast<std::size_t>(length);
  }
  return std::nullopt;
}

std::optional<Utf8Error> AppendUtf16(std::string_view utf8, std::u16string& out) {
  const std::size_t old_size = out.size();
  // Never more code units than bytes.
  out.resize(old_size + utf8.size());
  std::optional<Utf8Error> error;
  const char16_t* const end = Utf16Into(utf8, out.data() + old_size, error);
  out.resize(end == nullptr ? old_size : static_cast<std::size_t>(end - out.data()));
  return error;
}

char16_t* WriteUtf16(std::string_view utf8, char16_t* out) {
  std::optional<Utf8Error> error;
  char16_t* const end = Utf16Into(utf8, out, error);
  return end != nullptr ? end : out;
}

void AppendUtf8(std::u16string_view utf16, std::string& out) {
  const std::size_t old_size = out.size();
  out.resize(old_size + 3 * utf16.size());
  char* const end = WriteUtf8(utf16, out.data() + old_size);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

char* WriteUtf8(std::u16string_view utf16, char* w) {
  const std::size_t n = utf16.size();
#ifdef VANTOREL_AVX2
  const bool vectors = HasAvx2();
  // Where the vector loop stopped last: the plain one goes on past the eight
  // units it could not take before it is tried again.
  std::size_t plain_until = 0;
#endif
  for (std::size_t i = 0; i < n; ++i) {
#ifdef VANTOREL_AVX2
    // Chinese text and ASCII, eight units at a time.
    if (vectors && i >= plain_until) {
      i += 字符串加密::utf8_blocks::WriteRun(utf16.data() + i, n - i, w);
      plain_until = i + 8;
    }
#endif
    // ASCII eight units at a time.
    while (i + 8 <= n) {
      char16_t any = 0;
      for (std::size_t k = 0; k < 8; ++k) any |= utf16[i + k];
      if (any >= 0x80) break;
      for (std::size_t k = 0; k < 8; ++k) w[k] = static_cast<char>(utf16[i + k]);
      w += 8;
      i += 8;
    }
    if (i == n) break;
    char32_t cp = utf16[i];
    if (cp < 0x80) {
      *w++ = static_cast<char>(cp);
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      const bool pair =
          cp <= 0xDBFF && i + 1 < n && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF;
      if (pair) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[++i] - 0xDC00);
      } else {
        cp = 0xFFFD;
      }
    }
    if (cp < 0x800) {
      *w++ = static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
      *w++ = static_cast<char>(0xE0 | (cp >> 12));
      *w++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
      *w++ = static_cast<char>(0xF0 | (cp >> 18));
      *w++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *w++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    *w++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return w;
}

std::size_t CharacterBoundary(std::string_view utf8, std::size_t max_bytes) {
  if (max_bytes >= utf8.size()) return utf8.size();
  std::size_t end = max_bytes;
  while (end > 0 && IsContinuation(static_cast<unsigned char>(utf8[end]))) --end;
  return end;
}

}  // namespace vantorel
