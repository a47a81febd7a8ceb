// Where each character's bytes are: one walk over a text and the bytes one
// encode gave for it, reading how long each character is from its first byte
// (or two), as each code page lays its characters out.
#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "codec/codec.hpp"
#include "codec/internal/utf16.hpp"

namespace 字符串加密 {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// How a code page's characters are laid out in bytes.
enum class Layout {
  kUtf16,     // two bytes a code unit, four for a pair
  kUtf8,      // the first byte says how many: one to four
  kGb18030,   // one byte below 81; else two, or four where the second is a digit 30 to 39
  kOneOrTwo,  // one byte, or two from a byte that is no character alone (the ANSI code pages)
};

Layout LayoutOf(CodePage cp) {
  if (utf16::Is(cp)) return Layout::kUtf16;
  if (cp == 65001) return Layout::kUtf8;
  if (cp == 54936) return Layout::kGb18030;
  return Layout::kOneOrTwo;
}

// For code pages of one or two bytes a character: the bytes that begin a
// character of two. Read from what the code page writes, not from what it
// reads: a byte may be written alone for a character and yet not read back
// alone (Wine writes U+F8F5 as FF in code page 936 and reads no FF alone).
// One encode per code page of every code unit of the first plane, each
// followed by a line feed, which is no byte of a character of two. None where
// a code unit is written as other than one or two bytes, or a byte begins
// characters of both lengths: the walk cannot read that code page.
using LeadBytes = std::array<bool, 0x100>;
std::optional<LeadBytes> ReadLeadBytes(CodePage cp) {
  std::u16string text;
  text.reserve(2 * 0x10000);
  for (char32_t c = 1; c < 0x10000; ++c) {
    if (c == u'\n' || (c >= 0xD800 && c <= 0xDFFF)) continue;
    text += static_cast<char16_t>(c);
    text += u'\n';
  }
  const std::string bytes = EncodeText(text, cp).bytes;
  LeadBytes lead{}, alone{};
  std::size_t at = 0;
  for (std::size_t k = 0; k < text.size() / 2; ++k) {
    const std::size_t end = bytes.find('\n', at);
    if (end == std::string::npos || end == at || end - at > 2) return std::nullopt;
    (end - at == 2 ? lead : alone)[static_cast<unsigned char>(bytes[at])] = true;
    at = end + 1;
  }
  for (int b = 0; b < 0x100; ++b) {
    if (lead[b] && alone[b]) return std::nullopt;
  }
  if (at != bytes.size()) return std::nullopt;
  return lead;
}

const std::optional<LeadBytes>& LeadBytesOf(CodePage cp) {
  static std::mutex mutex;
  static std::map<CodePage, std::optional<LeadBytes>> known;
  const std::lock_guard lock(mutex);
  auto it = known.find(cp);
  if (it == known.end()) it = known.emplace(cp, ReadLeadBytes(cp)).first;
  return it->second;
}

// How many bytes the character whose bytes start at bytes[at] takes.
std::size_t LengthAt(std::string_view bytes, std::size_t at, bool pair, Layout layout,
                     const LeadBytes* lead) {
  const auto b = static_cast<unsigned char>(bytes[at]);
  switch (layout) {
    case Layout::kUtf16:
      return pair ? 4 : 2;
    case Layout::kUtf8:
      return b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    case Layout::kGb18030:
      if (b < 0x81 || b == 0xFF) return 1;
      return at + 1 < bytes.size() && bytes[at + 1] >= '0' && bytes[at + 1] <= '9' ? 4 : 2;
    case Layout::kOneOrTwo:
      break;
  }
  return (*lead)[b] ? 2 : 1;
}

// A range within the first `size`; an empty one (a caret) takes the one
// after it, and at the end none.
std::optional<Range> Taken(Range range, std::size_t size) {
  const std::size_t start = (std::min)(range.start, size);
  const std::size_t end = std::clamp(range.end, start, size);
  if (start < end) return Range{start, end};
  if (start == size) return std::nullopt;
  return Range{start, start + 1};
}

}  // namespace

ByteMap::ByteMap(std::u16string_view text, const EncodedText& encoded, CodePage cp)
    : offsets_(text.size() + 1), joined_(text.size()) {
  if (!Walk(text, encoded.bytes, cp)) EncodeEach(text, encoded.bytes.size(), cp);
}

// False where the bytes do not follow the code page's layout to their end.
bool ByteMap::Walk(std::u16string_view text, std::string_view bytes, CodePage cp) {
  const Layout layout = LayoutOf(cp);
  const LeadBytes* lead = nullptr;
  if (layout == Layout::kOneOrTwo) {
    const std::optional<LeadBytes>& known = LeadBytesOf(cp);
    if (!known) return false;
    lead = &*known;
  }
  std::size_t at = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (at >= bytes.size()) return false;
    const bool two = i + 1 < text.size();
    const bool pair = two && IsHighSurrogate(text[i]) && IsLowSurrogate(text[i + 1]);
    const std::size_t length = LengthAt(bytes, at, pair, layout, lead);
    if (length > bytes.size() - at) return false;
    offsets_[i] = at;
    // A pair is one character of four bytes, or (where the code page lacks
    // it) two of 3F; a line break is two characters' bytes, read as one.
    const bool together = pair && length == 4;
    if (pair || (two && text[i] == u'\r' && text[i + 1] == u'\n')) {
      joined_[i + 1] = true;
      if (together) offsets_[i + 1] = at;
    }
    at += length;
    i += together ? 2 : 1;
  }
  offsets_.back() = at;
  return at == bytes.size();
}

// For a code page the walk cannot read (one with state, which none of those
// the window offers is): each character encoded alone, kept within the bytes
// the whole text was encoded to.
void ByteMap::EncodeEach(std::u16string_view text, std::size_t total, CodePage cp) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < text.size();) {
    const bool two = i + 1 < text.size();
    const bool pair = two && IsHighSurrogate(text[i]) && IsLowSurrogate(text[i + 1]);
    offsets_[i] = (std::min)(at, total);
    if (pair) offsets_[i + 1] = offsets_[i];
    if (pair || (two && text[i] == u'\r' && text[i + 1] == u'\n')) joined_[i + 1] = true;
    const std::size_t units = pair ? 2 : 1;
    at += EncodeText(text.substr(i, units), cp).bytes.size();
    i += units;
  }
  offsets_.back() = total;
}

std::size_t ByteMap::CharacterStart(std::size_t unit) const {
  while (unit > 0 && unit < units() && joined_[unit]) --unit;
  return unit;
}

std::size_t ByteMap::CharacterEnd(std::size_t unit) const {
  while (unit < units() && joined_[unit]) ++unit;
  return unit;
}

Range ByteMap::BytesOf(Range units) const {
  const std::optional<Range> taken = Taken(units, this->units());
  if (!taken) return {bytes(), bytes()};
  return {offsets_[CharacterStart(taken->start)], offsets_[CharacterEnd(taken->end)]};
}

Range ByteMap::UnitsOf(Range bytes) const {
  const std::optional<Range> taken = Taken(bytes, this->bytes());
  if (!taken) return {units(), units()};
  const std::size_t first = taken->start, last = taken->end;
  // The last code unit whose bytes start at or before the first byte, and the
  // first whose bytes start at or after the end.
  const auto begin = offsets_.begin();
  const auto end = offsets_.end() - 1;
  const auto start = static_cast<std::size_t>(std::upper_bound(begin, end, first) - begin) - 1;
  const auto stop = static_cast<std::size_t>(std::lower_bound(begin, end, last) - begin);
  return {CharacterStart(start), CharacterEnd(stop)};
}

Range GroupsIn(Range hex) {
  if (hex.start >= hex.end) {
    const std::size_t group = hex.start / 3 + (hex.start % 3 == 2 ? 1 : 0);
    return {group, group + 1};
  }
  // Group b takes characters 3b and 3b + 1.
  return {(hex.start + 1) / 3, (std::max)((hex.start + 1) / 3, (hex.end + 2) / 3)};
}

Range HexOfGroups(Range bytes) {
  if (bytes.start >= bytes.end) return {3 * bytes.start, 3 * bytes.start};
  return {3 * bytes.start, 3 * bytes.end - 1};
}

}  // namespace 字符串加密
