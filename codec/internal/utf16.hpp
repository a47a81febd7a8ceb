// UTF-16 as bytes, little-endian (1200) and big-endian (1201): the codec's own
// on every system, since Windows' converters do not take them. Two bytes per
// code unit in the named order (中 is 2D 4E and 4E 2D), four for a character
// beyond the first plane. A lone surrogate is written as U+FFFD, as Windows
// writes it in UTF-8, and counted as a character the code page cannot write;
// an odd byte at the end, and a lone surrogate, are not text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "codec/codec.hpp"

namespace 字符串加密::utf16 {

inline bool Is(CodePage cp) { return cp == 1200 || cp == 1201; }

EncodedText EncodeText(std::u16string_view text, CodePage cp);
// What is not text reads as U+003F per byte.
std::u16string DecodeBytes(std::string_view bytes, CodePage cp);
std::optional<std::u16string> DecodeIfText(std::string_view bytes, CodePage cp);

// Counts the lone surrogates of a text written by a converter that writes
// every other character, as the characters it could not write.
void CountLoneSurrogates(std::u16string_view text, EncodedText& result);

}  // namespace 字符串加密::utf16
