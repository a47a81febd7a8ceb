// The bytes that come back, looked up in tables made for two uses of the
// checked decode: checking alone (tables::ComeBack), through a bitset of the
// pairs small enough to stay in the first-level cache, and decoding straight
// to UTF-8 (tables::DecodeComingBackToUtf8), each byte or pair's UTF-8 looked
// up whole, without the UTF-16 between. Both are made once per code page from
// the lookups DecodeComingBack reads (tables::ComingBackOf), so they say what
// it says.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "codec/internal/simd.hpp"
#include "codec/internal/tables.hpp"

namespace 字符串加密::tables {
namespace {

// A set of bytes as 16 rows of 16 bits, row b & 15 holding b as bit b >> 4,
// split in the rows' low and high eight bits (bytes below 80 and the rest),
// for looking 32 bytes up at a time.
struct ByteSet {
  std::array<std::uint8_t, 16> low{}, high{};
  void Add(unsigned b) {
    (b < 0x80 ? low : high)[b & 15] |= static_cast<std::uint8_t>(1u << (b >> 4 & 7));
  }
};

class ComingBackTables {
 public:
  // Nullptr when the code page has no tables.
  static const ComingBackTables* For(CodePage cp);

  bool Check(std::string_view bytes) const;
  char* ToUtf8(std::string_view bytes, char* out) const;

 private:
  explicit ComingBackTables(const ComingBack& lookups);

  // 1 where the pair comes back, else 0.
  std::uint64_t PairComesBack(unsigned pair) const {
    return pair_bits_[pair >> 6] >> (pair & 63) & 1;
  }

  // A character's UTF-8 as its bytes, the first in the low 8 bits, with
  // their count in the high 8: 0 for what does not come back.
  static std::uint32_t Utf8Entry(char16_t c);

  std::array<bool, 0x100> single_{};
  std::array<std::uint64_t, 0x10000 / 64> pair_bits_{};
  std::array<std::uint32_t, 0x100> single_utf8_{};
  // By trail << 8 | lead, the two bytes as one little-endian load reads them.
  std::vector<std::uint32_t> pair_utf8_ = std::vector<std::uint32_t>(0x10000);
  bool ascii_is_itself_ = false;
  // For checking 32 bytes at a time where the code page is regular (936
  // is): every pair of a lead byte and a byte of one set of trail bytes comes
  // back, and no other pair does.
  bool regular_ = false;
  bool every_byte_starts_ = true;  // each byte either leads or comes back alone
  ByteSet leads_, singles_, trails_;
  std::array<bool, 0x100> trail_{};
};

std::uint32_t ComingBackTables::Utf8Entry(char16_t c) {
  if (c < 0x80) return 1u << 24 | c;
  if (c < 0x800) return 2u << 24 | (0x80u | (c & 0x3Fu)) << 8 | (0xC0u | c >> 6);
  return 3u << 24 | (0x80u | (c & 0x3Fu)) << 16 | (0x80u | (c >> 6 & 0x3Fu)) << 8 |
         (0xE0u | c >> 12);
}

ComingBackTables::ComingBackTables(const ComingBack& lookups)
    : ascii_is_itself_(lookups.ascii_is_itself) {
  for (unsigned b = 0; b < 0x100; ++b) {
    single_[b] = lookups.single[b];
    if (single_[b]) single_utf8_[b] = Utf8Entry(lookups.single_char[b]);
  }
  // The tables never hold a surrogate: every code unit is a whole character.
  for (unsigned pair = 0; pair < 0x10000; ++pair) {
    const char16_t c = lookups.pair[pair];
    if (c == 0) continue;
    pair_bits_[pair >> 6] |= std::uint64_t{1} << (pair & 63);
    pair_utf8_[(pair & 0xFF) << 8 | pair >> 8] = Utf8Entry(c);
  }
  // Regular: the trails of the first lead byte (if there is one) are those
  // of every one.
  const unsigned first_lead =
      static_cast<unsigned>(std::find(lookups.lead, lookups.lead + 0x100, true) - lookups.lead);
  for (unsigned t = 0; first_lead < 0x100 && t < 0x100; ++t)
    trail_[t] = lookups.pair[first_lead << 8 | t] != 0;
  regular_ = true;
  for (unsigned pair = 0; regular_ && pair < 0x10000; ++pair)
    regular_ = (lookups.lead[pair >> 8] && trail_[pair & 0xFF]) == (lookups.pair[pair] != 0);
  for (unsigned b = 0; b < 0x100; ++b) {
    every_byte_starts_ = every_byte_starts_ && (lookups.lead[b] || single_[b]);
    if (lookups.lead[b]) leads_.Add(b);
    if (single_[b]) singles_.Add(b);
    if (trail_[b]) trails_.Add(b);
  }
}

const ComingBackTables* ComingBackTables::For(CodePage cp) {
  static std::mutex mutex;
  static std::map<CodePage, std::unique_ptr<ComingBackTables>> made;  // nullptr: no tables
  const std::lock_guard lock(mutex);
  auto [it, inserted] = made.try_emplace(cp);
  if (inserted) {
    if (const std::optional<ComingBack> lookups = ComingBackOf(cp))
      it->second.reset(new ComingBackTables(*lookups));
  }
  return it->second.get();
}

#ifdef VANTOREL_AVX2
// How many bytes below 0x80 come first, counted 32 at a time.
VANTOREL_TARGET_AVX2 std::size_t AsciiRun(const unsigned char* in, std::size_t n) {
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
    if (_mm256_movemask_epi8(v) != 0) break;
  }
  return i;
}

// Whether the eight bytes from in are all below 0x80.
inline bool AsciiWord(const unsigned char* in) {
  std::uint64_t word;
  std::memcpy(&word, in, 8);
  return (word & 0x8080'8080'8080'8080) == 0;
}

// The same, copied to out as they are.
VANTOREL_TARGET_AVX2 std::size_t CopyAscii(const unsigned char* in, std::size_t n, char* out) {
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
    if (_mm256_movemask_epi8(v) != 0) break;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), v);
  }
  return i;
}

// The blocks: 32 bytes from the start of a character, the lead bytes among
// them found as a set, and from those where each character starts. Every run
// of lead bytes starts a character (the byte before it, not a lead, ends
// one), and in it lead and trail take turns: the bytes at odd distances from
// the run's start are trails, and so is the byte after it when the run is
// odd. Adding the run's first bit to the run clears it and sets the bit past
// it, for runs starting at even and at odd places apart. Gives the starts
// (bits 0 to 31) and whether the last of them is a lead whose trail is byte
// 32 (bit 32).
constexpr std::uint64_t kEvenBits = 0x5555'5555'5555'5555;
constexpr std::uint64_t kOddBits = ~kEvenBits;

std::uint64_t StartsAmong(std::uint64_t leads) {
  const std::uint64_t firsts = leads & ~(leads << 1);
  const std::uint64_t past_even = leads + (firsts & kEvenBits);
  const std::uint64_t past_odd = leads + (firsts & kOddBits);
  const std::uint64_t even_runs = (leads & ~past_even) | (past_even & ~leads);
  const std::uint64_t odd_runs = (leads & ~past_odd) | (past_odd & ~leads);
  const std::uint64_t trails = (even_runs & kOddBits) | (odd_runs & kEvenBits);
  return (~trails & 0xFFFF'FFFF) | (trails & (std::uint64_t{1} << 32));
}

// Which of the 32 bytes are in the set.
VANTOREL_TARGET_AVX2 std::uint32_t InSet(__m256i v, const ByteSet& set) {
  const __m128i low_rows = _mm_loadu_si128(reinterpret_cast<const __m128i*>(set.low.data()));
  const __m128i high_rows = _mm_loadu_si128(reinterpret_cast<const __m128i*>(set.high.data()));
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i row_index = _mm256_and_si256(v, nibble);
  const __m256i column = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
  const __m256i rows =
      _mm256_blendv_epi8(_mm256_shuffle_epi8(_mm256_broadcastsi128_si256(low_rows), row_index),
                         _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(high_rows), row_index), v);
  const __m256i bits = _mm256_shuffle_epi8(
      _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16,
                       32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128),
      column);
  const __m256i absent = _mm256_cmpeq_epi8(_mm256_and_si256(rows, bits), _mm256_setzero_si256());
  return ~static_cast<std::uint32_t>(_mm256_movemask_epi8(absent));
}

// The blocks while 33 bytes are left, for a regular code page: false where a
// character does not come back; else in moved on past them (to a
// character's start). kSingles: whether some byte is neither a lead byte nor
// one that comes back standing alone (in 936 none is). The blocks follow one
// another 32 bytes apart, whether or not a character runs on into the next:
// the starts are found both ways, from byte 0 and from byte 1 (byte 0 the
// trail of the byte before), and the one that holds is taken, so that no
// block waits for where the one before it ended.
template <bool kSingles>
VANTOREL_TARGET_AVX2 bool CheckBlocks(const unsigned char*& in, const unsigned char* end,
                                      const ByteSet& lead_set, const ByteSet& single_set,
                                      const ByteSet& trail_set, bool ascii_is_itself) {
  const unsigned char* p = in;
  std::uint64_t runs_on = 0;  // 1: byte 0 of the block is the trail of the byte before
  for (; end - p >= 33; p += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    if (ascii_is_itself && runs_on == 0 && _mm256_movemask_epi8(v) == 0) continue;
    const std::uint32_t leads = InSet(v, lead_set);
    const std::uint64_t from_first = StartsAmong(leads);
    const std::uint64_t from_second = StartsAmong(leads >> 1);
    // From byte 1, bit 31 is byte 32: a start there, or the trail of byte 31.
    const std::uint32_t at_start = runs_on != 0 ? static_cast<std::uint32_t>(from_second << 1) & ~1u
                                                : static_cast<std::uint32_t>(from_first);
    runs_on = runs_on != 0 ? (from_second >> 31 & 1) ^ 1 : from_first >> 32;
    // A start that is no lead stands alone; every other byte is a trail.
    std::uint32_t bad = ~at_start & ~InSet(v, trail_set);
    if constexpr (kSingles) bad |= at_start & ~leads & ~InSet(v, single_set);
    if (bad != 0) return false;
  }
  in = p - runs_on;
  return true;
}
#endif

bool ComingBackTables::Check(std::string_view bytes) const {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = in + bytes.size();
#ifdef VANTOREL_AVX2
  const bool ascii_run = ascii_is_itself_ && simd::HasAvx2();
  if (regular_ && simd::HasAvx2() &&
      !(every_byte_starts_ ? CheckBlocks<false> : CheckBlocks<true>)(in, end, leads_, singles_,
                                                                     trails_, ascii_is_itself_))
    return false;
#endif
  while (in < end) {
#ifdef VANTOREL_AVX2
    if (ascii_run && *in < 0x80) {
      in += AsciiRun(in, static_cast<std::size_t>(end - in));
      if (in == end) break;
    }
#endif
    // Four pairs at a time while all four come back: only a lead byte starts
    // a pair there, so each is the character that starts where it does.
    while (end - in >= 8) {
      if ((PairComesBack(in[0] << 8 | in[1]) & PairComesBack(in[2] << 8 | in[3]) &
           PairComesBack(in[4] << 8 | in[5]) & PairComesBack(in[6] << 8 | in[7])) == 0)
        break;
      in += 8;
    }
    if (in == end) break;
    if (single_[*in]) {
      ++in;
    } else if (end - in > 1 && PairComesBack(in[0] << 8 | in[1]) != 0) {
      in += 2;
    } else {
      return false;
    }
  }
  return true;
}

char* ComingBackTables::ToUtf8(std::string_view bytes, char* out) const {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = in + bytes.size();
  const std::uint32_t* const pair = pair_utf8_.data();
  const std::uint32_t* const single = single_utf8_.data();
  // All four bytes of an entry are stored; the next one's overwrite the rest.
  const auto put = [&out](std::uint32_t e) {
    std::memcpy(out, &e, 4);
    out += e >> 24;
  };
#ifdef VANTOREL_AVX2
  const bool ascii_run = ascii_is_itself_ && simd::HasAvx2();
#endif
  while (in < end) {
#ifdef VANTOREL_AVX2
    // Runs of ASCII of 32 bytes or more; shorter ones one at a time below.
    if (ascii_run && *in < 0x80 && end - in >= 32 && AsciiWord(in)) {
      const std::size_t k = CopyAscii(in, static_cast<std::size_t>(end - in), out);
      in += k;
      out += k;
      if (in == end) break;
    }
#endif
    // Four pairs at a time while all four come back, as in Check.
    while (end - in >= 8) {
      const std::uint32_t e0 = pair[in[0] | in[1] << 8], e1 = pair[in[2] | in[3] << 8],
                          e2 = pair[in[4] | in[5] << 8], e3 = pair[in[6] | in[7] << 8];
      if ((e0 == 0) | (e1 == 0) | (e2 == 0) | (e3 == 0)) break;
      if ((e0 & e1 & e2 & e3) >> 24 == 3) {
        // Four characters of three bytes each (most of Chinese text): stored
        // at places known beforehand, none waiting for the one before.
        std::memcpy(out, &e0, 4);
        std::memcpy(out + 3, &e1, 4);
        std::memcpy(out + 6, &e2, 4);
        std::memcpy(out + 9, &e3, 4);
        out += 12;
      } else {
        put(e0);
        put(e1);
        put(e2);
        put(e3);
      }
      in += 8;
    }
    if (in == end) break;
    if (single[*in] != 0) {
      do {
        put(single[*in]);
        ++in;
      } while (in < end && single[*in] != 0);
    } else if (const std::uint32_t p = end - in > 1 ? pair[in[0] | in[1] << 8] : 0; p != 0) {
      put(p);
      in += 2;
    } else {
      return nullptr;
    }
  }
  return out;
}

}  // namespace

bool ComeBack(std::string_view bytes, CodePage cp) {
  const ComingBackTables* tables = ComingBackTables::For(cp);
  return tables != nullptr && tables->Check(bytes);
}

char* DecodeComingBackToUtf8(std::string_view bytes, CodePage cp, char* out) {
  const ComingBackTables* tables = ComingBackTables::For(cp);
  return tables == nullptr ? nullptr : tables->ToUtf8(bytes, out);
}

}  // namespace 字符串加密::tables
