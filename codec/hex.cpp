#include "hex.hpp"

#include <type_traits>

namespace 字符串加密 {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

template <class Char>
void WriteHexTo(std::string_view bytes, Char* out) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (i != 0) *out++ = Char(' ');
    *out++ = Char(kDigits[b >> 4]);
    *out++ = Char(kDigits[b & 0xF]);
  }
}

template <class Char>
int DigitValue(Char c) {
  if (c >= Char('0') && c <= Char('9')) return int(c - Char('0'));
  if (c >= Char('A') && c <= Char('F')) return int(c - Char('A')) + 10;
  if (c >= Char('a') && c <= Char('f')) return int(c - Char('a')) + 10;
  return -1;
}

template <class Char>
bool IsDropped(Char c) {
  return c == Char('\t') || c == Char('\n') || c == Char('\r');
}

template <class Char>
std::basic_string_view<Char> TrimSpaces(std::basic_string_view<Char> s, std::size_t& start) {
  start = 0;
  std::size_t end = s.size();
  while (start < end && s[start] == Char(' ')) ++start;
  while (end > start && s[end - 1] == Char(' ')) --end;
  return s.substr(start, end - start);
}

template <class Char>
Result<std::string> HexToBytesFrom(std::basic_string_view<Char> hex) {
  std::size_t start = 0;
  const auto body = TrimSpaces(hex, start);
  std::string bytes;
  if (body.empty()) return bytes;

  std::size_t group = 1;
  std::size_t group_start = 0;
  unsigned value = 0;
  bool reading = true;  // still inside the group's leading digits
  for (std::size_t i = 0; i <= body.size(); ++i) {
    if (i == body.size() || body[i] == Char(' ')) {
      bytes.push_back(static_cast<char>(value));
      ++group;
      group_start = i + 1;
      value = 0;
      reading = true;
      continue;
    }
    if (!reading || IsDropped(body[i])) continue;
    const int digit = DigitValue(body[i]);
    if (digit < 0) {
      reading = false;
      continue;
    }
    value = value * 16 + unsigned(digit);
    if (value > 0xFF) {
      std::size_t end = body.find(Char(' '), i);
      if (end == body.npos) end = body.size();
      std::u16string text;
      for (std::size_t k = group_start; k < end; ++k)
        text.push_back(static_cast<char16_t>(static_cast<std::make_unsigned_t<Char>>(body[k])));
      return GroupError{GroupError::Reason::kTooLarge, group, start + group_start, std::move(text)};
    }
  }
  return bytes;
}

}  // namespace

void WriteHex(std::string_view bytes, char* out) { WriteHexTo(bytes, out); }
void WriteHex(std::string_view bytes, char16_t* out) { WriteHexTo(bytes, out); }

std::u16string BytesToHex(std::string_view bytes) {
  std::u16string hex(HexLength(bytes.size()), u'\0');
  WriteHex(bytes, hex.data());
  return hex;
}

std::string BytesToHexNarrow(std::string_view bytes) {
  std::string hex(HexLength(bytes.size()), '\0');
  WriteHex(bytes, hex.data());
  return hex;
}

Result<std::string> HexToBytes(std::u16string_view hex) { return HexToBytesFrom(hex); }
Result<std::string> HexToBytes(std::string_view hex) { return HexToBytesFrom(hex); }

GroupSpan LocateGroup(std::u16string_view hex, std::size_t group) {
  std::size_t start = 0;
  const auto body = TrimSpaces(hex, start);
  std::size_t offset = 0;
  for (std::size_t n = 1; n < group; ++n) {
    const std::size_t space = body.find(u' ', offset);
    if (space == body.npos) return {hex.size(), 0};
    offset = space + 1;
  }
  std::size_t end = body.find(u' ', offset);
  if (end == body.npos) end = body.size();
  return {start + offset, end - offset};
}

}  // namespace 字符串加密
