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

}  // namespace 字符串加密::tables
