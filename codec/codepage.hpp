// The code-page layer: text (UTF-16 code units) to bytes in a narrow code page
// and back. This is the only part of the codec that differs by platform:
// Windows uses its own converters, other systems use iconv.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace 字符串加密 {

using CodePage = unsigned int;

// The ANSI code page on Windows; 936 elsewhere.
CodePage SystemCodePage();

// Whether the platform can convert to and from the code page.
bool IsCodePageAvailable(CodePage cp);

struct EncodedText {
  std::string bytes;
  // Characters the code page cannot represent (a surrogate pair counts once);
  // each of their code units became one byte 3F.
  std::size_t unmappable = 0;
  // Index of the first of them in the text (valid when unmappable > 0).
  std::size_t first_unmappable = 0;
};

// Never fails for an available code page. A character the code page lacks
// becomes 3F, never a look-alike; one 3F per UTF-16 code unit, so a
// character outside the BMP becomes 3F 3F where the code page lacks it.
EncodedText EncodeText(std::u16string_view text, CodePage cp);

// Bytes that are not text in the code page become U+003F per byte.
std::u16string DecodeBytes(std::string_view bytes, CodePage cp);

}  // namespace 字符串加密
