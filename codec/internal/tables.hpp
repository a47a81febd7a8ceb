// The lookup tables behind the code-page layer, reachable on their own so
// that they can be held to the platform's converters. Each function gives
// nothing when the code page does not fit in tables or the input holds what
// the tables do not know (a surrogate, a byte sequence no character encodes
// to); otherwise exactly what the platform's converter gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "codec/codec.hpp"

namespace 字符串加密::tables {

// Building the tables takes a few milliseconds: short texts, such as most of
// what a person types, go to the converters straight away.
inline constexpr std::size_t kTablesFrom = 4096;

std::optional<EncodedText> EncodeText(std::u16string_view text, CodePage cp);
std::optional<std::u16string> DecodeBytes(std::string_view bytes, CodePage cp);
// As DecodeBytes, and nothing also when some of the bytes read as a
// character that the code page writes otherwise: the text, when it is given,
// encodes to exactly these bytes again.
std::optional<std::u16string> DecodeComingBack(std::string_view bytes, CodePage cp);
// Whether DecodeComingBack would give the text, found without writing it.
bool ComeBack(std::string_view bytes, CodePage cp);

// The entries the tables encode a code unit u with: entries[u] holds its
// first byte in the low 8 bits and its trail byte, if it has one, in the
// high 8; kUnmappable (written 3F) and kNotInTable (the surrogates) mark the
// rest. ascii_is_itself: every code unit below 0x80 is that byte.
struct EncodeEntries {
  static constexpr std::uint16_t kUnmappable = 0xFEFF;
  static constexpr std::uint16_t kNotInTable = 0xFFFF;
  const std::uint16_t* entries = nullptr;
  bool ascii_is_itself = false;
};
std::optional<EncodeEntries> EncodeEntriesOf(CodePage cp);

// What EncodeUtf8 found: how many bytes it wrote and how many characters
// (code points) it read; how many of those the code page lacks, and the
// first of them, as its index among the characters and itself.
struct Utf8Encoded {
  std::size_t bytes = 0;
  std::size_t characters = 0;
  std::size_t unmappable = 0;
  std::size_t first_unmappable = 0;
  char32_t first_character = 0;
};
// Encodes UTF-8 that is known to be valid (it is not checked again) straight
// to cp's bytes at out, which has room for utf8.size() + 1 bytes: the bytes
// EncodeText gives for its UTF-16, without the UTF-16. Nothing when cp does
// not fit in tables or the text has a character beyond the first plane
// (which EncodeText leaves to the converters), or one below 0x80 that cp
// writes as two bytes.
std::optional<Utf8Encoded> EncodeUtf8(std::string_view utf8, CodePage cp, char* out);

// DecodeComingBack's text written straight as UTF-8 at out, which has room
// for three bytes per byte and one more: the end of what it wrote, or nullptr
// where DecodeComingBack would give nothing (what it wrote is then to be
// dropped).
char* DecodeComingBackToUtf8(std::string_view bytes, CodePage cp, char* out);

// The lookups DecodeComingBack reads through: whether a byte standing alone
// comes back (single[b]) and as which code unit (single_char[b]), whether it
// is the first of two (lead[b]; never both), and the code unit of lead << 8 |
// trail where that pair comes back, else 0 (pair).
struct ComingBack {
  const bool* single;
  const char16_t* single_char;
  const bool* lead;
  const char16_t* pair;
  bool ascii_is_itself;  // every byte below 80 is the code unit of its value
};
std::optional<ComingBack> ComingBackOf(CodePage cp);

}  // namespace 字符串加密::tables
