// The lookup tables behind the code-page layer, reachable on their own so
// that they can be held to the platform's converters. Each function gives
// nothing when the code page does not fit in tables or the input holds what
// the tables do not know (a surrogate, a byte sequence no character encodes
// to); otherwise exactly what the platform's converter gives.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "codec/codec.hpp"

namespace 字符串加密::tables {

std::optional<EncodedText> EncodeText(std::u16string_view text, CodePage cp);
std::optional<std::u16string> DecodeBytes(std::string_view bytes, CodePage cp);

}  // namespace 字符串加密::tables
