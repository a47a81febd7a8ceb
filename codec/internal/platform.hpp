// The platform's own converters, called directly: Windows' on Windows;
// elsewhere Windows' own conversions where they are known (published.hpp),
// iconv for the rest; on both the codec's own UTF-16 (utf16.hpp). The
// code-page layer builds on these; the plain paths use them as they are.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "codec/codec.hpp"

namespace 字符串加密::platform {

bool IsCodePageAvailable(CodePage cp);
EncodedText EncodeText(std::u16string_view text, CodePage cp);
std::u16string DecodeBytes(std::string_view bytes, CodePage cp);
// The text the bytes spell, or nothing when any of them are not text.
std::optional<std::u16string> DecodeIfText(std::string_view bytes, CodePage cp);

}  // namespace 字符串加密::platform
