// The platform's own converters, called directly: Windows' on Windows;
// elsewhere Windows' own conversions where they are known (published.hpp),
// iconv for the rest; on both the codec's own UTF-16 (utf16.hpp). The
// code-page layer builds on these; the plain paths use them as they are.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "codec/codec.hpp"

namespace 字符串加密::platform {

bool IsCodePageAvailable(CodePage cp);
EncodedText EncodeText(std::u16string_view text, CodePage cp);
std::u16string DecodeBytes(std::string_view bytes, CodePage cp);
// The text the bytes spell, or nothing when any of them are not text.
std::optional<std::u16string> DecodeIfText(std::string_view bytes, CodePage cp);

// A converter that is a lookup of one- and two-byte sequences in the codec's
// own tables, as the converters themselves look them up: the code-page layer
// fills its tables from these instead of running the converter over every
// code unit.
struct Sequences {
  static constexpr std::uint16_t kUnwritable = 0xFFFF;  // written as 3F
  static constexpr char16_t kNoCharacter = 0xFFFF;
  // What each code unit of the first plane is written as: a byte below 0x100,
  // lead << 8 | trail, or kUnwritable.
  const std::uint16_t* writes;
  // What a byte standing alone reads as, kNoCharacter where it does not.
  const char16_t* singles;
  // What a pair reads as: for a lead byte, 1 + its row in pairs (0 for every
  // other byte); a row holds trails trail bytes from first_trail on, 0 where
  // the pair is not text.
  const std::uint8_t* rows;
  unsigned first_trail, trails;
  const char16_t* pairs;
};
// Nothing where the converter is the system's, or not such a lookup.
std::optional<Sequences> SequencesOf(CodePage cp);

}  // namespace 字符串加密::platform
