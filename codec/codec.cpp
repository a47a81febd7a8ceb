#include "codec/codec.hpp"

#include <algorithm>

#include "codec/internal/platform.hpp"
#include "codec/internal/tables.hpp"

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

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// How many code units the character at text[i] takes.
std::size_t UnitsAt(std::u16string_view text, std::size_t i) {
  return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
}

// Where the character of `text` starts whose bytes, as the code page writes
// it, hold byte `at` of `again` (the text written again): the same place in
// the bytes it was read from, which agree with `again` up to `at`; past the
// end of `again`, its end. Encodings without state write a text as the bytes
// of its characters one after another, so whole blocks are skipped first.
std::size_t CharacterAt(std::u16string_view text, std::size_t at, std::size_t again_size,
                        CodePage cp) {
  if (at >= again_size) return again_size;
  constexpr std::size_t kBlock = 1024;
  std::size_t byte = 0, unit = 0;
  while (unit < text.size()) {
    std::size_t end = std::min(text.size(), unit + kBlock);
    if (end < text.size() && IsHighSurrogate(text[end - 1])) ++end;
    const std::size_t length = EncodeText(text.substr(unit, end - unit), cp).bytes.size();
    if (byte + length > at) break;
    byte += length;
    unit = end;
  }
  while (unit < text.size()) {
    const std::size_t units = UnitsAt(text, unit);
    const std::size_t length = EncodeText(text.substr(unit, units), cp).bytes.size();
    if (byte + length > at) return byte;
    byte += length;
    unit += units;
  }
  return std::min(byte, at);  // a code page with state: no better place known
}

// Why the character that starts at bytes[at] does not come back: the bytes it
// was read from, if they are one character of the code page, and what the
// code page writes for that character; else they are not text.
CheckedText::Refusal Refusal(std::string_view bytes, std::size_t at, CodePage cp) {
  constexpr std::size_t kLongest = 4;  // bytes in a character, in any code page the codec takes
  for (std::size_t n = 1; n <= kLongest && at + n <= bytes.size(); ++n) {
    const std::string_view read = bytes.substr(at, n);
    const auto text = platform::DecodeIfText(read, cp);
    if (!text) continue;
    if (text->empty() || UnitsAt(*text, 0) != text->size()) break;
    const EncodedText written = EncodeText(*text, cp);
    if (written.bytes == read) break;
    const char32_t c = text->size() == 1 ? char32_t{(*text)[0]}
                                         : 0x10000 + ((char32_t{(*text)[0]} - 0xD800) << 10) +
                                               (char32_t{(*text)[1]} - 0xDC00);
    return {GroupError::Reason::kWrittenOtherwise, at, c, std::string(read),
            written.unmappable != 0 ? std::string() : written.bytes};
  }
  return {GroupError::Reason::kNotText, at};
}

}  // namespace

std::u16string TextToHex(std::u16string_view text, CodePage cp) {
  return BytesToHex(EncodeText(text, cp).bytes);
}

CheckedText DecodeBytes(std::string_view bytes, CodePage cp, DecodeChecks checks) {
  // Where every byte comes back, the tables say so as they decode, or
  // without decoding when the text is not wanted.
  if (checks.refuse_lossy_bytes && checks.text_unwanted && bytes.size() >= tables::kTablesFrom &&
      tables::ComeBack(bytes, cp) &&
      (!checks.refuse_zero_bytes || ZeroCharacter(bytes, cp) == bytes.npos))
    return CheckedText{};
  std::optional<std::u16string> coming_back;
  if (checks.refuse_lossy_bytes && bytes.size() >= tables::kTablesFrom)
    coming_back = tables::DecodeComingBack(bytes, cp);
  CheckedText result{coming_back ? std::move(*coming_back) : DecodeBytes(bytes, cp), std::nullopt};
  std::optional<CheckedText::Refusal> lossy;
  if (checks.refuse_lossy_bytes && !coming_back) {
    const std::string again = EncodeText(result.text, cp).bytes;
    const auto [mine, theirs] =
        std::mismatch(bytes.begin(), bytes.end(), again.begin(), again.end());
    if (mine != bytes.end() || theirs != again.end()) {
      const auto at = static_cast<std::size_t>(mine - bytes.begin());
      lossy = Refusal(bytes, CharacterAt(result.text, at, again.size(), cp), cp);
    }
  }
  if (checks.refuse_zero_bytes) {
    const std::size_t zero = ZeroCharacter(bytes, cp);
    if (zero != bytes.npos && (!lossy || zero <= lossy->byte)) {
      result.refused = CheckedText::Refusal{GroupError::Reason::kZeroByte, zero};
      return result;
    }
  }
  result.refused = std::move(lossy);
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
  CheckedText::Refusal& refused = *checked.refused;
  return GroupError{refused.reason,
                    group,
                    span.offset,
                    std::u16string(hex.substr(span.offset, span.length)),
                    refused.character,
                    std::move(refused.read),
                    std::move(refused.written)};
}

}  // namespace 字符串加密
