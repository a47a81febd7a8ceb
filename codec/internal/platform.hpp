// The platform's own converters, called directly: Windows' on Windows, iconv
// elsewhere. The code-page layer builds on these; the plain paths use them as
// they are.
#pragma once

#include <string>
#include <string_view>

#include "codec/codec.hpp"

namespace 字符串加密::platform {

bool IsCodePageAvailable(CodePage cp);
EncodedText EncodeText(std::u16string_view text, CodePage cp);
std::u16string DecodeBytes(std::string_view bytes, CodePage cp);

}  // namespace 字符串加密::platform
