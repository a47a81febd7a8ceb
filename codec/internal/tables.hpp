// The lookup tables behind the code-page layer, reachable on their own so
// that they can be held to the platform's converters. Each function gives
// nothing when the code page does not fit in tables or the input holds what
// the tables do not know (a surrogate, a byte sequence no character encodes
// to); otherwise exactly what the platform's converter gives.
#pragma once

#include <cstddef>
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
