#include "cli/utf8.hpp"

#include <cstdint>
#include <cstring>

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

}  // namespace

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
  while (i < n) {
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
  char16_t* w = out.data() + old_size;
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
  while (i < n) {
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
      out.resize(old_size);
      return Utf8Error{kind, i};
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
  out.resize(static_cast<std::size_t>(w - out.data()));
  return std::nullopt;
}

void AppendUtf8(std::u16string_view utf16, std::string& out) {
  const std::size_t old_size = out.size();
  out.resize(old_size + 3 * utf16.size());
  char* const end = WriteUtf8(utf16, out.data() + old_size);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

char* WriteUtf8(std::u16string_view utf16, char* w) {
  const std::size_t n = utf16.size();
  for (std::size_t i = 0; i < n; ++i) {
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
