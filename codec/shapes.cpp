// Hex text in other shapes: the any-shape reading (48656C, 0x48, 0x65,
// \x48\x65, 48-65, a C array...) and the writing of hex text in the shapes
// people copy it out in. The reading goes one character at a time through a
// small state machine that can stop at the end of any part and go on with the
// next; canonical groups and long runs of digits go 16 bytes a step with AVX2.
#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>

#include "codec/codec.hpp"
#include "codec/internal/hex_reading.hpp"
#include "codec/internal/simd.hpp"

namespace 字符串加密 {
namespace {

using namespace hex_reading;
using Reason = ShapeError::Reason;

// ---------------------------------------------------------------------------
// Reading.

// What a character is to the any-shape reading; digits are their values.
enum Kind : std::uint8_t {
  kWhite = 16,  // space, tab, line feed, carriage return, U+3000
  kPunct,       // , ; : - ，
  kLowerX,
  kUpperX,
  kBackslash,
  kAmpersand,
  kH,      // h or H
  kOpen,   // { or [
  kClose,  // } or ]
  kQuote,
  kOther,  // the last: kinds fit in a 32-bit mask
};

constexpr std::array<std::uint8_t, 128> MakeKinds() {
  std::array<std::uint8_t, 128> kinds{};
  for (int c = 0; c < 128; ++c) {
    const std::uint8_t lenient = kClasses[c];
    kinds[c] = lenient < 16 ? lenient : std::uint8_t{kOther};
  }
  for (const char c : {' ', '\t', '\n', '\r'}) kinds[c] = kWhite;
  for (const char c : {',', ';', ':', '-'}) kinds[c] = kPunct;
  kinds['x'] = kLowerX;
  kinds['X'] = kUpperX;
  kinds['\\'] = kBackslash;
  kinds['&'] = kAmpersand;
  kinds['h'] = kinds['H'] = kH;
  kinds['{'] = kinds['['] = kOpen;
  kinds['}'] = kinds[']'] = kClose;
  kinds['"'] = kQuote;
  return kinds;
}
constexpr auto kKinds = MakeKinds();

// The kind of the character at i, and how many code units it takes.
struct CharKind {
  std::uint8_t kind;
  std::size_t length;
};

CharKind KindBeyondAscii(const char16_t* text, std::size_t i, std::size_t n) {
  const char16_t c = text[i];
  if (c == u'\u3000') return {kWhite, 1};
  if (c == u'\uFF0C') return {kPunct, 1};
  const bool pair =
      c >= 0xD800 && c < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
  return {kOther, pair ? std::size_t{2} : std::size_t{1}};
}

// UTF-8: U+3000 is E3 80 80 and ， is EF BC 8C; any other byte from 80 on is
// part of a character that has no place in hex text, as long as its lead
// byte says.
CharKind KindBeyondAscii(const char* text, std::size_t i, std::size_t n) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char b = byte(i);
  if (n - i >= 3 && b == 0xE3 && byte(i + 1) == 0x80 && byte(i + 2) == 0x80) return {kWhite, 3};
  if (n - i >= 3 && b == 0xEF && byte(i + 1) == 0xBC && byte(i + 2) == 0x8C) return {kPunct, 3};
  const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  return {kOther, std::min(length, n - i)};
}

template <class Char>
std::uint8_t AsciiKind(Char c) {
  const auto u = static_cast<std::make_unsigned_t<Char>>(c);
  return u < 128 ? kKinds[u] : std::uint8_t{kOther};
}

template <class Char>
inline CharKind KindAt(const Char* text, std::size_t i, std::size_t n) {
  const auto u = static_cast<std::make_unsigned_t<Char>>(text[i]);
  return u < 128 ? CharKind{kKinds[u], 1} : KindBeyondAscii(text, i, n);
}

// What ends a group without being part of it.
constexpr std::uint32_t kEndsGroup =
    1u << kWhite | 1u << kPunct | 1u << kOpen | 1u << kClose | 1u << kQuote | 1u << kBackslash;
inline bool EndsGroup(std::uint8_t kind) { return (kEndsGroup >> kind & 1) != 0; }

char Closer(char opener) { return opener == '{' ? '}' : opener == '[' ? ']' : '"'; }

enum Phase : std::uint8_t {
  kStart,          // white space only so far: the opening bracket or quote may come
  kBetween,        // after the opening one or a separator
  kRun,            // digits without a prefix
  kBackslashRead,  // its x must follow
  kAmpersandRead,  // its H must follow
  kPrefixed,       // digits after a prefix
  kSuffixed,       // after a suffix h: a separator must follow
  kClosed,         // after the closing bracket or quote: white space only
};

#ifdef VANTOREL_AVX2

using simd::HasAvx2;

// 32 hex digits to their 16 bytes; false, writing nothing, when one of the
// characters is no digit.
template <class Char>
VANTOREL_TARGET_AVX2 bool ReadPairs(const Char* in, char* out) {
  __m256i values;
  if (Mask(HexDigits(Load32(in), values)) != 0xFFFFFFFFu) return false;
  // Each pair: the first digit times 16 plus the second.
  const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi16(0x0110));
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(pairs, pairs), 0xD8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
  return true;
}

#endif

}  // namespace

template <class Char>
std::optional<ShapeError> AnyShapeReader::ReadPart(const Char* text, std::size_t n, bool last,
                                                   std::string& out) {
  if (error_) return error_;
  // At most one byte for every two characters, and two for digits held from
  // the part before.
  const std::size_t old_size = out.size();
  out.resize(old_size + n / 2 + 3);
  char* const o = out.data() + old_size;
  std::size_t w = 0;
  const std::size_t base = offset_;
  offset_ += n;
  // The state in a local, which the stores to the output cannot touch.
  State s = state_;

  // Where what could not be read ends: just after the character at i.
  const auto end_of_span = [&](std::size_t i) { return base + i + KindAt(text, i, n).length; };
  const auto fail = [&](Reason reason, std::size_t from, std::size_t to) {
    out.resize(old_size + w);
    error_ = ShapeError{reason, from, to - from};
    return error_;
  };
  // The group ends before i: writes what its digits hold back; false when
  // they are not a byte or bytes.
  const auto end_group = [&](std::size_t i) -> bool {
    if (s.phase == kRun) {
      if (s.digits <= 2) {
        o[w++] = static_cast<char>(s.held);
      } else if (s.digits % 2 != 0) {
        fail(Reason::kOddDigits, s.group_start, base + i);
        return false;
      }
    } else if (s.phase == kPrefixed) {
      if (s.digits == 0) {
        fail(Reason::kNoDigits, s.group_start, base + i);
        return false;
      }
      o[w++] = static_cast<char>(s.held);
    } else if (s.phase == kBackslashRead || s.phase == kAmpersandRead) {
      fail(Reason::kNotDigit, s.group_start, base + i);
      return false;
    }
    s.groups = true;
    s.phase = kBetween;
    return true;
  };
#ifdef VANTOREL_AVX2
  const bool avx2 = HasAvx2();
  unsigned block_rest = 0;  // groups to read one at a time before blocks are tried again
#endif

  for (std::size_t i = 0; i < n;) {
    const auto [kind, length] = KindAt(text, i, n);
    switch (s.phase) {
      case kRun:
        if (kind < 16) {
          s.held = s.held << 4 | kind;
          if (++s.digits == 4) {
            o[w++] = static_cast<char>(s.held >> 8);
            o[w++] = static_cast<char>(s.held);
            s.held = 0;
          } else if (s.digits > 4 && s.digits % 2 == 0) {
            o[w++] = static_cast<char>(s.held);
            s.held = 0;
          }
#ifdef VANTOREL_AVX2
          if (avx2 && s.digits >= 4 && s.digits % 2 == 0) {
            while (n - i > 32 && ReadPairs(text + i + 1, o + w)) {
              i += 32;
              w += 16;
              s.digits += 32;
            }
          }
#endif
          i += length;
          continue;
        }
        if ((kind == kLowerX || kind == kUpperX) && s.digits == 1 && s.held == 0) {
          s.phase = kPrefixed;  // 0x or 0X
          s.digits = 0;
          i += length;
          continue;
        }
        if (kind == kH) {
          // One or two digits, or three of which the first is 0 (0FFh).
          if (s.digits > 3 || (s.digits == 3 && s.held > 0xFF))
            return fail(Reason::kTooManyDigits, s.group_start, end_of_span(i));
          o[w++] = static_cast<char>(s.held);
          s.phase = kSuffixed;
          s.groups = true;
          i += length;
          continue;
        }
        if (!EndsGroup(kind)) return fail(Reason::kNotDigit, s.group_start, end_of_span(i));
        if (!end_group(i)) return error_;
        break;  // the character is read as between groups
      case kBackslashRead:
      case kAmpersandRead:
        if (kind == (s.phase == kBackslashRead ? kLowerX : kH)) {
          s.phase = kPrefixed;
          s.digits = 0;
          i += length;
          continue;
        }
        if (!EndsGroup(kind)) return fail(Reason::kNotDigit, s.group_start, end_of_span(i));
        end_group(i);
        return error_;
      case kPrefixed:
        if (kind < 16) {
          if (s.digits == 2) return fail(Reason::kTooManyDigits, s.group_start, end_of_span(i));
          s.held = s.held << 4 | kind;
          ++s.digits;
          i += length;
          continue;
        }
        if (!EndsGroup(kind)) return fail(Reason::kNotDigit, s.group_start, end_of_span(i));
        if (!end_group(i)) return error_;
        break;
      case kSuffixed:
        if (!EndsGroup(kind)) return fail(Reason::kNoSeparator, s.group_start, end_of_span(i));
        s.phase = kBetween;
        break;
      case kClosed:
        if (kind != kWhite) return fail(Reason::kAfterClose, base + i, end_of_span(i));
        i += length;
        continue;
      default:
        break;
    }

    // Between groups (kStart, kBetween, or a group just ended before i).
    const std::size_t at = base + i;
    if (kind == kWhite || kind == kPunct) {
      // The separators, all of them at once.
      for (CharKind k{kind, length};;) {
        if (k.kind == kPunct) {
          if (!s.groups || s.punctuated)
            return fail(Reason::kNoGroup, base + i, base + i + k.length);
          s.punctuated = true;
        }
        i += k.length;
        if (i == n) break;
        k = KindAt(text, i, n);
        if (k.kind != kWhite && k.kind != kPunct) break;
      }
      continue;
    }
    if (kind == kOpen || kind == kClose || kind == kQuote) {
      const char c = static_cast<char>(text[i]);
      if (s.phase == kStart && kind != kClose) {
        s.opener = c;
        s.opener_offset = at;
        s.phase = kBetween;
      } else if (s.opener != 0 && kind != kOpen && c == Closer(s.opener)) {
        s.phase = kClosed;
      } else {
        return fail(Reason::kMisplaced, at, at + 1);
      }
      i += length;
      continue;
    }

    // A group starts.
#ifdef VANTOREL_AVX2
    if (avx2 && kind < 16 && n - i >= 48) {
      if (block_rest == 0) {
        const std::size_t from = i;
        while (n - i >= 48 && ReadBlock(text + i, reinterpret_cast<unsigned char*>(o + w))) {
          i += 48;
          w += 16;
        }
        if (i != from) {
          s.phase = kBetween;
          s.groups = true;
          s.punctuated = false;
          continue;
        }
        block_rest = 16;
      } else {
        --block_rest;
      }
    }
#endif
    // The common groups whole: two digits, alone or after 0x or \x, and then
    // what ends a group.
    if (n - i >= 5) {
      const std::size_t p = (kind == 0 && (text[i + 1] == Char('x') || text[i + 1] == Char('X'))) ||
                                    (kind == kBackslash && text[i + 1] == Char('x'))
                                ? i + 2
                                : i;
      const std::uint8_t high = AsciiKind(text[p]), low = AsciiKind(text[p + 1]);
      if (high < 16 && low < 16 && EndsGroup(AsciiKind(text[p + 2]))) {
        o[w++] = static_cast<char>(high << 4 | low);
        i = p + 2;
        s.phase = kBetween;
        s.groups = true;
        s.punctuated = false;
        continue;
      }
    }
    s.group_start = at;
    s.punctuated = false;
    s.held = 0;
    s.digits = 0;
    if (kind < 16) {
      s.phase = kRun;
      s.held = kind;
      s.digits = 1;
    } else if (kind == kBackslash) {
      s.phase = kBackslashRead;
    } else if (kind == kAmpersand) {
      s.phase = kAmpersandRead;
    } else {
      return fail(kind == kH ? Reason::kNoDigits : Reason::kNotDigit, at, end_of_span(i));
    }
    i += length;
  }

  if (last) {
    if (s.phase != kStart && s.phase != kBetween && s.phase != kClosed && s.phase != kSuffixed &&
        !end_group(n))
      return error_;
    if (s.phase != kClosed && s.opener != 0)
      return fail(Reason::kUnclosed, s.opener_offset, s.opener_offset + 1);
  }
  out.resize(old_size + w);
  state_ = s;
  return std::nullopt;
}

std::optional<ShapeError> AnyShapeReader::Read(std::u16string_view part, bool last,
                                               std::string& out) {
  return ReadPart(part.data(), part.size(), last, out);
}

std::optional<ShapeError> AnyShapeReader::Read(std::string_view part, bool last, std::string& out) {
  return ReadPart(part.data(), part.size(), last, out);
}

namespace {

template <class Char>
Result<std::string, ShapeError> ReadWhole(std::basic_string_view<Char> hex) {
  AnyShapeReader reader;
  std::string bytes;
  if (const auto error = reader.Read(hex, true, bytes)) return *error;
  return bytes;
}

// ---------------------------------------------------------------------------
// Writing.

struct ShapeText {
  std::string_view prefix;  // before each group's digits
  HexFrame frame;
};

constexpr ShapeText kShapeTexts[] = {
    {"", {"", " ", ""}},        // kSpaced
    {"", {"", "", ""}},         // kPlain
    {"0x", {"", ", ", ""}},     // k0x
    {" 0x", {"{", ",", " }"}},  // kC
    {"\\x", {"", "", ""}},      // kEscaped
};

const ShapeText& TextOf(HexShape shape) { return kShapeTexts[static_cast<int>(shape)]; }

// Writes the groups one table entry a byte: the prefix, two digits and what
// stands between groups, at most 8 characters, copied 8 at a time while room
// is left for the copy's overhang, then a character at a time.
template <class Char>
void WriteGroupsTo(std::string_view bytes, HexStyle style, Char* out) {
  if (bytes.empty()) return;
  if (style.shape == HexShape::kSpaced && !style.lower) return WriteHex(bytes, out);
  const ShapeText& shape = TextOf(style.shape);
  const char* const digits = style.lower ? "0123456789abcdef" : "0123456789ABCDEF";
  const std::size_t group = shape.prefix.size() + 2;
  const std::size_t step = group + shape.frame.between.size();
  std::array<std::array<Char, 8>, 256> table{};
  for (int b = 0; b < 256; ++b) {
    std::size_t k = 0;
    for (const char c : shape.prefix) table[b][k++] = Char(c);
    table[b][k++] = Char(digits[b >> 4]);
    table[b][k++] = Char(digits[b & 0xF]);
    for (const char c : shape.frame.between) table[b][k++] = Char(c);
  }
  const std::size_t total = GroupsLength(bytes.size(), style);
  std::size_t at = 0;
  std::size_t i = 0;
  for (; at + 8 <= total; ++i, at += step)
    std::memcpy(out + at, table[static_cast<unsigned char>(bytes[i])].data(), 8 * sizeof(Char));
  for (; i < bytes.size(); ++i, at += step) {
    const std::size_t length = i + 1 == bytes.size() ? group : step;
    std::copy_n(table[static_cast<unsigned char>(bytes[i])].data(), length, out + at);
  }
}

}  // namespace

Result<std::string, ShapeError> HexToBytesAnyShape(std::u16string_view hex) {
  return ReadWhole(hex);
}
Result<std::string, ShapeError> HexToBytesAnyShape(std::string_view hex) { return ReadWhole(hex); }

HexFrame FrameOf(HexShape shape) { return TextOf(shape).frame; }

std::size_t GroupsLength(std::size_t bytes, HexStyle style) {
  if (bytes == 0) return 0;
  const ShapeText& shape = TextOf(style.shape);
  return bytes * (shape.prefix.size() + 2) + (bytes - 1) * shape.frame.between.size();
}

void WriteGroups(std::string_view bytes, HexStyle style, char* out) {
  WriteGroupsTo(bytes, style, out);
}

std::u16string BytesToHex(std::string_view bytes, HexStyle style) {
  const HexFrame frame = FrameOf(style.shape);
  std::u16string hex(frame.open.begin(), frame.open.end());
  hex.resize(frame.open.size() + GroupsLength(bytes.size(), style));
  WriteGroupsTo(bytes, style, hex.data() + frame.open.size());
  hex.append(frame.close.begin(), frame.close.end());
  return hex;
}

}  // namespace 字符串加密
