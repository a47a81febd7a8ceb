#include "codec/internal/utf16.hpp"

namespace 字符串加密::utf16 {
namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether the code unit at i is a surrogate without its other half.
bool IsLone(std::u16string_view text, std::size_t i) {
  if (IsHigh(text[i])) return i + 1 == text.size() || !IsLow(text[i + 1]);
  return IsLow(text[i]) && (i == 0 || !IsHigh(text[i - 1]));
}

bool Decode(std::string_view bytes, CodePage cp, bool strict, std::u16string& text) {
  const int high = cp == 1200 ? 1 : 0;  // which byte of a pair is the high one
  const std::size_t units = bytes.size() / 2;
  text.assign(units, u'\0');
  for (std::size_t i = 0; i < units; ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i + high]) << 8 |
                                    static_cast<unsigned char>(bytes[2 * i + 1 - high]));
  }
  bool whole = bytes.size() % 2 == 0;
  std::u16string read;
  for (std::size_t i = 0; i < units; ++i) {
    if (!IsLone(text, i)) continue;
    // Not text: the units up to here as they are, then one U+003F per byte.
    if (strict) return false;
    read.reserve(text.size() + 1);
    read.assign(text, 0, i);
    for (; i < units; ++i)
      read += IsLone(text, i) ? std::u16string_view(u"??") : std::u16string_view(&text[i], 1);
    text.swap(read);
    break;
  }
  if (!whole) {
    if (strict) return false;
    text += u'?';
  }
  return true;
}

}  // namespace

EncodedText EncodeText(std::u16string_view text, CodePage cp) {
  EncodedText result;
  result.bytes.resize(2 * text.size());
  char* const out = result.bytes.data();
  const int high = cp == 1200 ? 1 : 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDFFF && IsLone(text, i)) {
      if (result.unmappable++ == 0) result.first_unmappable = i;
      unit = u'\uFFFD';
    }
    out[2 * i + high] = static_cast<char>(unit >> 8);
    out[2 * i + 1 - high] = static_cast<char>(unit & 0xFF);
  }
  return result;
}

std::u16string DecodeBytes(std::string_view bytes, CodePage cp) {
  std::u16string text;
  Decode(bytes, cp, false, text);
  return text;
}

std::optional<std::u16string> DecodeIfText(std::string_view bytes, CodePage cp) {
  std::u16string text;
  if (!Decode(bytes, cp, true, text)) return std::nullopt;
  return text;
}

void CountLoneSurrogates(std::u16string_view text, EncodedText& result) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= 0xD800 && text[i] <= 0xDFFF && IsLone(text, i) && result.unmappable++ == 0)
      result.first_unmappable = i;
  }
}

}  // namespace 字符串加密::utf16
