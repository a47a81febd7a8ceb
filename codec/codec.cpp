#include "codec/codec.hpp"

#include <algorithm>

namespace 字符串加密 {
namespace {

// Where the first character U+0000 starts: a zero byte, or in UTF-16 two of
// them in one code unit.
std::size_t ZeroCharacter(std::string_view bytes, CodePage cp) {
  if (cp != 1200 && cp != 1201) return bytes.find('\0');
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if (bytes[i] == '\0' && bytes[i + 1] == '\0') return i;
  }
  return bytes.npos;
}

}  // namespace

std::u16string TextToHex(std::u16string_view text, CodePage cp) {
  return BytesToHex(EncodeText(text, cp).bytes);
}

CheckedText DecodeBytes(std::string_view bytes, CodePage cp, DecodeChecks checks) {
  CheckedText result{DecodeBytes(bytes, cp), std::nullopt};
  std::optional<std::size_t> lossy;
  if (checks.refuse_lossy_bytes) {
    const std::string again = EncodeText(result.text, cp).bytes;
    const auto [mine, theirs] =
        std::mismatch(bytes.begin(), bytes.end(), again.begin(), again.end());
    if (mine != bytes.end() || theirs != again.end())
      lossy = static_cast<std::size_t>(mine - bytes.begin());
  }
  if (checks.refuse_zero_bytes) {
    const std::size_t zero = ZeroCharacter(bytes, cp);
    if (zero != bytes.npos && (!lossy || zero <= *lossy)) {
      result.refused = CheckedText::Refusal{GroupError::Reason::kZeroByte, zero};
      return result;
    }
  }
  if (lossy) result.refused = CheckedText::Refusal{GroupError::Reason::kNotText, *lossy};
  return result;
}

Result<std::u16string> HexToText(std::u16string_view hex, CodePage cp, DecodeChecks checks) {
  auto bytes = HexToBytes(hex);
  if (!bytes) return bytes.error();
  if (!checks.refuse_zero_bytes && !checks.refuse_lossy_bytes)
    return DecodeBytes(bytes.value(), cp);
  CheckedText checked = DecodeBytes(bytes.value(), cp, checks);
  if (!checked.refused) return std::move(checked.text);
  // Group numbers start at 1.
  const std::size_t group = checked.refused->byte + 1;
  const GroupSpan span = LocateGroup(hex, group);
  return GroupError{checked.refused->reason, group, span.offset,
                    std::u16string(hex.substr(span.offset, span.length))};
}

}  // namespace 字符串加密
