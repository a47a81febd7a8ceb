// The byte stage, fast. Where the processor has AVX2 the hot loops take 16
// bytes (48 characters of hex text) at a time; elsewhere they go a byte or a
// group at a time through small tables. The plain paths in reference.cpp say
// the same thing more slowly, and the tests hold the two to each other.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "codec/codec.hpp"
#include "codec/internal/hex_reading.hpp"
#include "codec/internal/simd.hpp"

namespace 字符串加密 {
namespace {

using namespace hex_reading;

constexpr char kDigits[] = "0123456789ABCDEF";

// ---------------------------------------------------------------------------
// Bytes to hex text.

// "HL " for each byte value, padded to a power of two so that one store
// writes a whole group and its separator (the next store overwrites the pad).
template <class Char>
struct GroupTable {
  using Entry = std::array<Char, 4>;
  std::array<Entry, 256> entries;

  constexpr GroupTable() : entries() {
    for (int b = 0; b < 256; ++b) {
      entries[b] = {Char(kDigits[b >> 4]), Char(kDigits[b & 0xF]), Char(' '), Char(0)};
    }
  }
};

template <class Char>
constexpr GroupTable<Char> kGroups{};

// Writes groups for bytes [0, n), each followed by a space; the caller makes
// sure there is room for one more character after the last space.
template <class Char>
void WriteGroupsScalar(const unsigned char* in, std::size_t n, Char* out) {
  for (std::size_t i = 0; i < n; ++i) {
    std::memcpy(out + 3 * i, kGroups<Char>.entries[in[i]].data(),
                sizeof(typename GroupTable<Char>::Entry));
  }
}

#ifdef VANTOREL_AVX2

using simd::HasAvx2;

// 32 bytes to their 96 characters of hex text ("HL " 32 times), as the two
// halves of three registers: the low halves hold the 48 characters of the
// first 16 bytes, the high halves those of the next 16.
VANTOREL_TARGET_AVX2 inline void HexBlock(const unsigned char* in, __m256i& out0, __m256i& out1,
                                          __m256i& out2) {
  const __m256i lut = _mm256_broadcastsi128_si256(_mm_setr_epi8(
      '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'));
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
  const __m256i hi = _mm256_shuffle_epi8(lut, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble));
  const __m256i lo = _mm256_shuffle_epi8(lut, _mm256_and_si256(v, nibble));
  const __m256i a = _mm256_unpacklo_epi8(hi, lo);  // H0 L0 ... H7 L7 of each half
  const __m256i b = _mm256_unpackhi_epi8(hi, lo);  // H8 L8 ... H15 L15 of each half
  constexpr char z = -1;                           // shuffle in a zero
  const __m256i sp0 = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0));
  const __m256i sp1 = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0));
  const __m256i sp2 = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' ', 0, 0, ' '));
  out0 =
      _mm256_or_si256(_mm256_shuffle_epi8(a, _mm256_broadcastsi128_si256(_mm_setr_epi8(
                                                 0, 1, z, 2, 3, z, 4, 5, z, 6, 7, z, 8, 9, z, 10))),
                      sp0);
  out1 = _mm256_or_si256(
      _mm256_or_si256(
          _mm256_shuffle_epi8(a, _mm256_broadcastsi128_si256(_mm_setr_epi8(
                                     11, z, 12, 13, z, 14, 15, z, z, z, z, z, z, z, z, z))),
          _mm256_shuffle_epi8(b, _mm256_broadcastsi128_si256(_mm_setr_epi8(
                                     z, z, z, z, z, z, z, z, 0, 1, z, 2, 3, z, 4, 5)))),
      sp1);
  out2 = _mm256_or_si256(
      _mm256_shuffle_epi8(b, _mm256_broadcastsi128_si256(_mm_setr_epi8(z, 6, 7, z, 8, 9, z, 10, 11,
                                                                       z, 12, 13, z, 14, 15, z))),
      sp2);
}

VANTOREL_TARGET_AVX2 std::size_t WriteGroupsAvx2(const unsigned char* in, std::size_t n,
                                                 char* out) {
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32, out += 96) {
    __m256i o0, o1, o2;
    HexBlock(in + i, o0, o1, o2);
    auto* dst = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(dst, _mm256_permute2x128_si256(o0, o1, 0x20));
    _mm256_storeu_si256(dst + 1, _mm256_permute2x128_si256(o2, o0, 0x30));
    _mm256_storeu_si256(dst + 2, _mm256_permute2x128_si256(o1, o2, 0x31));
  }
  return i;
}

VANTOREL_TARGET_AVX2 std::size_t WriteGroupsAvx2(const unsigned char* in, std::size_t n,
                                                 char16_t* out) {
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32, out += 96) {
    __m256i o0, o1, o2;
    HexBlock(in + i, o0, o1, o2);
    auto* dst = reinterpret_cast<__m256i*>(out);
    int k = 0;
    for (const __m128i half : {_mm256_castsi256_si128(o0), _mm256_castsi256_si128(o1),
                               _mm256_castsi256_si128(o2), _mm256_extracti128_si256(o0, 1),
                               _mm256_extracti128_si256(o1, 1), _mm256_extracti128_si256(o2, 1)}) {
      _mm256_storeu_si256(dst + k++, _mm256_cvtepu8_epi16(half));
    }
  }
  return i;
}

#endif

template <class Char>
void WriteHexTo(std::string_view bytes, Char* out) {
  if (bytes.empty()) return;
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  // Every byte but the last is followed by a space, so the groups of the first
  // n - 1 bytes can be written whole; the last byte gets its two digits alone.
  const std::size_t whole = bytes.size() - 1;
  std::size_t done = 0;
#ifdef VANTOREL_AVX2
  if (HasAvx2()) done = WriteGroupsAvx2(in, whole, out);
#endif
  if (whole > done) {
    // The table's stores run one character past each group: keep the last
    // whole group apart so nothing lands beyond the end.
    WriteGroupsScalar(in + done, whole - done - 1, out + 3 * done);
    const unsigned char b = in[whole - 1];
    Char* tail = out + 3 * (whole - 1);
    tail[0] = Char(kDigits[b >> 4]);
    tail[1] = Char(kDigits[b & 0xF]);
    tail[2] = Char(' ');
  }
  const unsigned char last = in[whole];
  out[3 * whole] = Char(kDigits[last >> 4]);
  out[3 * whole + 1] = Char(kDigits[last & 0xF]);
}

// ---------------------------------------------------------------------------
// Hex text to bytes.

template <class Char>
std::u16string Widen(std::basic_string_view<Char> s) {
  std::u16string wide;
  wide.reserve(s.size());
  for (const Char c : s)
    wide.push_back(static_cast<char16_t>(static_cast<std::make_unsigned_t<Char>>(c)));
  return wide;
}

#ifdef VANTOREL_AVX2

// What 32 characters are, as bit masks, with the values of the digits and
// whether each is one stored.
VANTOREL_TARGET_AVX2 inline Classes32 Classify(__m256i c, std::uint8_t* values,
                                               std::uint8_t* digits) {
  __m256i value;
  const __m256i is_digit = HexDigits(c, value);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(values), value);
  _mm256_store_si256(reinterpret_cast<__m256i*>(digits), is_digit);
  return Classes(c, is_digit);
}

VANTOREL_TARGET_AVX2 inline __m256i LoadBytes(const std::uint8_t* in) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
}

// Hex text that is not canonical but plain (groups of one or two digits,
// either case, perhaps junk after them; no tabs or line breaks), 64
// characters at a time: each group's value comes from bit masks of the
// window, without a branch per character. Reads the groups that start in the
// window and returns where the next one starts; returns `at` when the window
// holds what only the one-at-a-time reader handles.
template <class Char>
VANTOREL_TARGET_AVX2 std::size_t ReadPlainWindowAvx2(const Char* text, std::size_t at,
                                                     std::size_t end, unsigned char* out,
                                                     std::size_t& written) {
  if (end - at < 64 + 3) return at;
  // The digits' values (0 for other characters) and whether each is a digit,
  // with room for looking one character past the window.
  alignas(32) std::uint8_t values[96];
  alignas(32) std::uint8_t digits[96];
  values[64] = digits[64] = 0;
  const Classes32 low = Classify(Load32(text + at), values, digits);
  const Classes32 high = Classify(Load32(text + at + 32), values + 32, digits + 32);
  if ((low.dropped | high.dropped) != 0) return at;
  const std::uint64_t space = std::uint64_t{high.space} << 32 | low.space;
  const std::uint64_t digit = std::uint64_t{high.digit} << 32 | low.digit;

  // The value of a group if one started at each character: its first digit,
  // or its first two when two digits stand there.
  alignas(32) std::uint8_t group_values[64];
  for (int half = 0; half < 64; half += 32) {
    const __m256i one = LoadBytes(values + half);
    const __m256i two = _mm256_or_si256(_mm256_slli_epi16(one, 4), LoadBytes(values + half + 1));
    const __m256i both = _mm256_and_si256(LoadBytes(digits + half), LoadBytes(digits + half + 1));
    _mm256_store_si256(reinterpret_cast<__m256i*>(group_values + half),
                       _mm256_blendv_epi8(one, two, both));
  }

  // A group starts at `at` and after every space; those starting in the
  // last two characters wait for the next window, whose digits they need.
  std::uint64_t starts = (space << 1 | 1) & ((std::uint64_t{1} << 62) - 1);
  // Three digits or more (leading zeros, or too large): the one-at-a-time
  // reader takes over from the first such group.
  const std::uint64_t long_groups = starts & digit & digit >> 1 & digit >> 2;
  if (long_groups != 0) starts &= (long_groups & (~long_groups + 1)) - 1;
  const std::size_t first = written;
  std::size_t last = 0;
  while (starts != 0) {
    const int i = std::countr_zero(starts);
    out[written++] = group_values[i];
    last = static_cast<std::size_t>(i);
    starts &= starts - 1;
  }
  // Where the next group starts: after the space that ends the last one read.
  const std::uint64_t after = space >> last;
  if (written == first || after == 0) {
    written = first;  // the last group runs on past the window: leave it all
    return at;
  }
  return at + last + static_cast<std::size_t>(std::countr_zero(after)) + 1;
}

// Counts the spaces among the first n characters, 32 at a time; returns how
// many characters it looked at.
template <class Char>
VANTOREL_TARGET_AVX2 std::size_t CountSpacesAvx2(const Char* text, std::size_t n,
                                                 std::size_t& count) {
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    count += static_cast<std::size_t>(
        std::popcount(Mask(_mm256_cmpeq_epi8(Load32(text + i), _mm256_set1_epi8(' ')))));
  }
  return i;
}

#endif

template <class Char>
std::size_t CountSpaces(const Char* text, std::size_t n) {
  std::size_t count = 0;
  std::size_t i = 0;
#ifdef VANTOREL_AVX2
  if (HasAvx2()) i = CountSpacesAvx2(text, n, count);
#endif
  for (; i < n; ++i) count += text[i] == Char(' ');
  return count;
}

// The groups of hex from begin to end (spaces at neither) as bytes at out,
// which has room for one per space between them and one more: how many.
// all_read is left true only where every group was read whole, with a digit
// (canonical blocks, one or two digits before a space, or digits only).
template <class Char>
Result<std::size_t> ReadGroups(std::basic_string_view<Char> hex, std::size_t begin, std::size_t end,
                               char* const out, bool& all_read) {
  const Char* const text = hex.data();
  std::size_t written = 0;
  std::size_t at = begin;  // the start of the next group
#ifdef VANTOREL_AVX2
  const bool avx2 = HasAvx2();
  unsigned plain_windows = 0;
#endif
  for (;;) {
#ifdef VANTOREL_AVX2
    if (avx2) {
      auto* const bytes_out = reinterpret_cast<unsigned char*>(out);
      // Plain text tends to go on: after a plain window the canonical blocks
      // are tried again only every eighth time.
      if (plain_windows++ % 8 == 0) at = ReadBlocksAvx2(text, at, end, bytes_out, written);
      const std::size_t next = ReadPlainWindowAvx2(text, at, end, bytes_out, written);
      if (next != at) {
        at = next;
        all_read = false;  // such text may hold junk, looked for elsewhere
        continue;
      }
      plain_windows = 0;
    }
#endif
    // A block's worth of groups one at a time before the vector loop is
    // tried again, so that text it cannot read costs it little.
    for (int n = 0; n < 16; ++n) {
      // The common shapes first: two digits or one, then a space.
      if (end - at >= 3) {
        const std::uint8_t c0 = ClassOf(text[at]);
        const std::uint8_t c1 = ClassOf(text[at + 1]);
        if (c0 < 16 && c1 < 16 && text[at + 2] == Char(' ')) {
          out[written++] = static_cast<char>(c0 << 4 | c1);
          at += 3;
          continue;
        }
        if (c0 < 16 && c1 == kSpace) {
          out[written++] = static_cast<char>(c0);
          at += 2;
          continue;
        }
      }
      // Any other group, leniently.
      const std::size_t start = at;
      unsigned value = 0;
      bool digit = false;
      std::size_t i = at;
      for (; i < end; ++i) {
        const std::uint8_t cls = ClassOf(text[i]);
        if (cls < 16) {
          digit = true;
          value = value * 16 + cls;
          if (value > 0xFF) {
            std::size_t stop = hex.find(Char(' '), i);
            if (stop == hex.npos || stop > end) stop = end;
            return GroupError{GroupError::Reason::kTooLarge, written + 1, start,
                              Widen(hex.substr(start, stop - start))};
          }
        } else if (cls == kSpace) {
          break;
        } else if (cls == kJunk) {
          // The rest of the group is ignored.
          all_read = false;
          while (i < end && text[i] != Char(' ')) ++i;
          break;
        }
      }
      all_read = all_read && digit;
      out[written++] = static_cast<char>(value);
      if (i >= end) return written;
      at = i + 1;
    }
  }
}

template <class Char>
Result<std::string> HexToBytesFrom(std::basic_string_view<Char> hex) {
  const auto [begin, end] = hex_reading::WithoutOuterSpaces(hex);
  std::string bytes;
  if (begin == end) return bytes;
  // One group, and so one byte, per space plus one.
  bytes.resize(1 + CountSpaces(hex.data() + begin, end - begin));
  bool all_read = true;
  const auto read = ReadGroups(hex, begin, end, bytes.data(), all_read);
  if (!read) return read.error();
  return bytes;
}

}  // namespace

void WriteHex(std::string_view bytes, char* out) { WriteHexTo(bytes, out); }
void WriteHex(std::string_view bytes, char16_t* out) { WriteHexTo(bytes, out); }

std::u16string BytesToHex(std::string_view bytes) {
  std::u16string hex(HexLength(bytes.size()), u'\0');
  WriteHex(bytes, hex.data());
  return hex;
}

Result<std::string> HexToBytes(std::u16string_view hex) { return HexToBytesFrom(hex); }
Result<std::string> HexToBytes(std::string_view hex) { return HexToBytesFrom(hex); }

namespace hex_reading {

Result<std::size_t> HexToBytesAt(std::string_view hex, char* out, bool& all_read) {
  const auto [begin, end] = hex_reading::WithoutOuterSpaces(hex);
  all_read = begin != end;
  if (begin == end) return std::size_t{0};
  return ReadGroups(hex, begin, end, out, all_read);
}

bool ReadUpperGroups(std::string_view text, char* out) {
  if (text.size() % 3 != 0) return false;
  auto* const bytes = reinterpret_cast<unsigned char*>(out);
  std::size_t at = 0, written = 0;
#ifdef VANTOREL_AVX2
  // The blocks read either case; upper case is looked for below.
  if (HasAvx2()) at = ReadBlocksAvx2(text.data(), 0, text.size(), bytes, written);
#endif
  for (; at < text.size(); at += 3) {
    const std::uint8_t high = ClassOf(text[at]), low = ClassOf(text[at + 1]);
    if (high > 0xF || low > 0xF || text[at + 2] != ' ') return false;
    bytes[written++] = static_cast<unsigned char>(high << 4 | low);
  }
  // Looked at whole, without stopping early, so that it takes many at a step.
  unsigned char lower = 0;
  for (const char c : text) lower |= static_cast<unsigned char>(c - 'a') < 6;
  return lower == 0;
}

}  // namespace hex_reading

GroupSpan LocateGroup(std::u16string_view hex, std::size_t group) {
  const auto [begin, end] = hex_reading::WithoutOuterSpaces(hex);
  std::size_t offset = begin;
  for (std::size_t n = 1; n < group; ++n) {
    const std::size_t space = hex.find(u' ', offset);
    if (space == hex.npos || space >= end) return {hex.size(), 0};
    offset = space + 1;
  }
  std::size_t stop = hex.find(u' ', offset);
  if (stop == hex.npos || stop > end) stop = end;
  return {offset, stop - offset};
}

}  // namespace 字符串加密
