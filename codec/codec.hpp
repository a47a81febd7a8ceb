// The hex codec: text to hex text through a code page, and back.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "codepage.hpp"
#include "hex.hpp"

namespace 字符串加密 {

// The hex text of the text's bytes in the code page. Never fails.
std::u16string TextToHex(std::u16string_view text, CodePage cp = SystemCodePage());

// What a caller that must not lose bytes wants refused, beyond groups above FF.
struct DecodeChecks {
  bool refuse_zero_bytes = false;   // a text box cannot hold a NUL
  bool refuse_lossy_bytes = false;  // bytes that do not come back when encoded again
};

// The text a hex text spells in the code page. Fails, all or nothing, on the
// first group above FF, and on what the checks refuse.
Result<std::u16string> HexToText(std::u16string_view hex, CodePage cp = SystemCodePage(),
                                 DecodeChecks checks = {});

// For the callers that must not lose bytes: the first group (1-based) that is
// a zero byte, and the first group from which the bytes do not come back
// unchanged when decoded and encoded again.
struct ByteCheck {
  std::optional<std::size_t> zero_group;
  std::optional<std::size_t> lossy_group;
};
ByteCheck CheckBytes(std::string_view bytes, CodePage cp);

// The text the bytes spell, with the check above made on the way.
struct CheckedText {
  std::u16string text;
  ByteCheck check;
};
CheckedText DecodeChecked(std::string_view bytes, CodePage cp);

}  // namespace 字符串加密
