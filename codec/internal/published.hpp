// Windows' own conversions where Windows' converters are missing: the code
// pages whose tables Microsoft published (936, 950, 932, 949 and 1252, from
// codec/data/, turned into the tables below by tablegen at build time),
// GB18030 (54936) as Windows has it, built on 936's table, and UTF-8 (65001)
// as Windows has it. Without best fit: what bestfit.hpp says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "codec/codec.hpp"
#include "codec/internal/platform.hpp"

namespace 字符串加密::published {

inline constexpr char16_t kNoCharacter = 0xFFFF;

// What Windows reads in a code page of one- and two-byte characters.
struct Table {
  CodePage codepage;
  // The character of each byte standing alone; kNoCharacter for a lead byte
  // and for a byte that is not text.
  const char16_t* singles;
  // For each lead byte, 1 + its row in pairs; 0 for every other byte.
  const std::uint8_t* rows;
  // A row holds the trail bytes from first_trail on, trails of them: the
  // character of each pair, 0 where the pair is not text.
  unsigned first_trail, trails;
  const char16_t* pairs;
  // For each character that more than one sequence reads as, the sequence
  // written: character, then the byte or lead << 8 | trail. Every other
  // character is written as the one sequence that reads as it.
  const std::uint16_t* preferred;
  std::size_t preferred_count;
};

// Every table, then nullptr. In the file tablegen makes.
extern const Table* const kTables[];

// The converters, as the platform's (internal/platform.hpp), for the code
// pages Has() names.
bool Has(CodePage cp);
EncodedText EncodeText(std::u16string_view text, CodePage cp);
std::u16string DecodeBytes(std::string_view bytes, CodePage cp);
// The text the bytes spell, or nothing when any of them are not text.
std::optional<std::u16string> DecodeIfText(std::string_view bytes, CodePage cp);

// What the converters of a code page of one- and two-byte characters look up,
// as platform::SequencesOf gives it; nothing for GB18030 and UTF-8.
std::optional<platform::Sequences> SequencesOf(CodePage cp);

}  // namespace 字符串加密::published
