#include "codec/internal/reference.hpp"

#include "codec/internal/platform.hpp"

namespace 字符串加密::reference {
namespace {

int DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

}  // namespace

std::u16string BytesToHex(std::string_view bytes) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string hex;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!hex.empty()) hex += u' ';
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  return hex;
}

Result<std::string> HexToBytes(std::u16string_view hex) {
  const std::size_t first = hex.find_first_not_of(u' ');
  std::string bytes;
  if (first == hex.npos) return bytes;
  const std::size_t last = hex.find_last_not_of(u' ');

  std::size_t group = 0;
  std::size_t start = first;
  while (start <= last + 1) {
    std::size_t end = hex.find(u' ', start);
    if (end == hex.npos || end > last) end = last + 1;
    ++group;
    const std::u16string_view token = hex.substr(start, end - start);
    unsigned value = 0;
    for (const char16_t c : token) {
      if (c == u'\t' || c == u'\n' || c == u'\r') continue;
      const int digit = DigitValue(c);
      if (digit < 0) break;
      value = value * 16 + static_cast<unsigned>(digit);
      if (value > 0xFF) {
        return GroupError{GroupError::Reason::kTooLarge, group, start, std::u16string(token)};
      }
    }
    bytes.push_back(static_cast<char>(value));
    start = end + 1;
  }
  return bytes;
}

UnreadGroups FindUnreadGroups(std::u16string_view hex) {
  UnreadGroups found;
  const std::size_t first = hex.find_first_not_of(u' ');
  if (first == hex.npos) return found;
  const std::size_t end = hex.find_last_not_of(u' ') + 1;
  std::size_t group = 1;
  for (std::size_t start = first;; ++group) {
    std::size_t stop = hex.find(u' ', start);
    if (stop == hex.npos || stop > end) stop = end;
    bool digit = false;
    std::size_t at = start;
    for (; at < stop; ++at) {
      const char16_t c = hex[at];
      if (c == u'\t' || c == u'\n' || c == u'\r') continue;
      if (DigitValue(c) < 0) break;
      digit = true;
    }
    const UnreadGroup here{group, start, stop - start, digit ? at : start};
    if (!digit) {
      if (found.without_digit++ == 0) found.first_without_digit = here;
    } else if (at < stop) {
      if (found.partly_read++ == 0) found.first_partly_read = here;
    }
    if (stop == end) break;
    start = stop + 1;
  }
  return found;
}

std::u16string TextToHex(std::u16string_view text, CodePage cp) {
  return BytesToHex(platform::EncodeText(text, cp).bytes);
}

Result<std::u16string> HexToText(std::u16string_view hex, CodePage cp) {
  auto bytes = HexToBytes(hex);
  if (!bytes) return bytes.error();
  return platform::DecodeBytes(bytes.value(), cp);
}

}  // namespace 字符串加密::reference
