#include "codec.hpp"

#include <algorithm>

namespace 字符串加密 {

std::u16string TextToHex(std::u16string_view text, CodePage cp) {
  return BytesToHex(EncodeText(text, cp).bytes);
}

CheckedText DecodeChecked(std::string_view bytes, CodePage cp) {
  CheckedText result{DecodeBytes(bytes, cp), {}};
  if (const auto zero = bytes.find('\0'); zero != bytes.npos) result.check.zero_group = zero + 1;
  const std::string again = EncodeText(result.text, cp).bytes;
  const auto [mine, theirs] = std::mismatch(bytes.begin(), bytes.end(), again.begin(), again.end());
  if (mine != bytes.end() || theirs != again.end()) {
    result.check.lossy_group = static_cast<std::size_t>(mine - bytes.begin()) + 1;
  }
  return result;
}

ByteCheck CheckBytes(std::string_view bytes, CodePage cp) { return DecodeChecked(bytes, cp).check; }

Result<std::u16string> HexToText(std::u16string_view hex, CodePage cp, DecodeChecks checks) {
  auto bytes = HexToBytes(hex);
  if (!bytes) return bytes.error();
  if (!checks.refuse_zero_bytes && !checks.refuse_lossy_bytes)
    return DecodeBytes(bytes.value(), cp);

  CheckedText checked = DecodeChecked(bytes.value(), cp);
  // Group numbers start at 1; 0 stands for none.
  const std::size_t zero = checks.refuse_zero_bytes ? checked.check.zero_group.value_or(0) : 0;
  const std::size_t lossy = checks.refuse_lossy_bytes ? checked.check.lossy_group.value_or(0) : 0;
  if (zero == 0 && lossy == 0) return std::move(checked.text);
  // Name whichever group comes first.
  const bool is_zero = zero != 0 && (lossy == 0 || zero <= lossy);
  const std::size_t group = is_zero ? zero : lossy;
  const GroupSpan span = LocateGroup(hex, group);
  return GroupError{is_zero ? GroupError::Reason::kZeroByte : GroupError::Reason::kNotText, group,
                    span.offset, std::u16string(hex.substr(span.offset, span.length))};
}

}  // namespace 字符串加密
