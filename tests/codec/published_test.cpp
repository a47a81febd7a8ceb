// The codec against Microsoft's published tables (codec/data/), read as
// codec/internal/bestfit.hpp says: every character of the first plane written,
// and every byte and every pair of bytes read with the checks, in 936, 950,
// 932, 949 and 1252. On Linux this holds the tables the codec is built with to
// the published ones; under Wine, Windows' own converters.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "codec/codec.hpp"
#include "codec/internal/bestfit.hpp"
#include "tests/codec/group_error_printer.hpp"

namespace 字符串加密 {
namespace {

using Reason = GroupError::Reason;

std::string Bytes(bestfit::Sequence sequence) {
  if (sequence < 0x100) return std::string(1, static_cast<char>(sequence));
  return {static_cast<char>(sequence >> 8), static_cast<char>(sequence & 0xFF)};
}

std::string Hex(std::string_view bytes) {
  const std::u16string hex = BytesToHex(bytes);
  return std::string(hex.begin(), hex.end());
}

// What the checked decode must say of bytes, worked out from the table: each
// character in turn, read from the bytes where it starts, must be written as
// those bytes again.
CheckedText Expected(const bestfit::Table& table, std::string_view bytes) {
  CheckedText expected;
  for (std::size_t at = 0; at < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[at]);
    const std::size_t length = table.lead[b] ? 2 : 1;
    const auto sequence = static_cast<bestfit::Sequence>(
        length == 1 || at + 1 == bytes.size() ? b
                                              : b << 8 | static_cast<unsigned char>(bytes[at + 1]));
    const auto read = table.reads.find(sequence);
    if (at + length > bytes.size() || read == table.reads.end()) {
      expected.refused = CheckedText::Refusal{Reason::kNotText, at};
      return expected;
    }
    const auto written = table.writes.find(read->second);
    if (written == table.writes.end() || written->second != sequence) {
      expected.refused = CheckedText::Refusal{
          Reason::kWrittenOtherwise, at, read->second, Bytes(sequence),
          written == table.writes.end() ? std::string() : Bytes(written->second)};
      return expected;
    }
    expected.text += read->second;
    at += length;
  }
  return expected;
}

void ExpectSame(const CheckedText& checked, const CheckedText& expected, std::string_view bytes) {
  ASSERT_EQ(checked.refused.has_value(), expected.refused.has_value()) << Hex(bytes);
  if (!expected.refused) {
    ASSERT_TRUE(checked.text == expected.text) << Hex(bytes);
    return;
  }
  const CheckedText::Refusal &mine = *checked.refused, &theirs = *expected.refused;
  ASSERT_EQ(mine.reason, theirs.reason) << Hex(bytes);
  ASSERT_EQ(mine.byte, theirs.byte) << Hex(bytes);
  ASSERT_EQ(mine.character, theirs.character) << Hex(bytes);
  ASSERT_EQ(Hex(mine.read), Hex(theirs.read)) << Hex(bytes);
  ASSERT_EQ(Hex(mine.written), Hex(theirs.written)) << Hex(bytes);
}

void CheckCodePage(const bestfit::Table& table) {
  const CodePage cp = table.codepage;
  // Writing: every code unit but the surrogates, in one text that takes the
  // lookup tables and in pieces short enough for the converters.
  std::u16string text;
  std::string bytes;
  std::size_t unmappable = 0;
  for (char32_t u = 0; u < 0x10000; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    text += static_cast<char16_t>(u);
    const auto written = table.writes.find(static_cast<char16_t>(u));
    unmappable += written == table.writes.end();
    bytes += written == table.writes.end() ? "?" : Bytes(written->second);
  }
  const EncodedText whole = EncodeText(text, cp);
  EXPECT_EQ(whole.unmappable, unmappable);
  std::string pieces;
  for (std::size_t at = 0; at < text.size(); at += 1000)
    pieces += EncodeText(std::u16string_view(text).substr(at, 1000), cp).bytes;
  const std::string* const results[] = {&whole.bytes, &pieces};
  for (const std::string* got : results) {
    if (*got == bytes) continue;
    for (std::size_t i = 0; i < text.size(); ++i) {  // the first character written otherwise
      const EncodedText one = EncodeText(text.substr(i, 1), cp);
      const auto written = table.writes.find(text[i]);
      ASSERT_EQ(Hex(one.bytes), written == table.writes.end() ? "3F" : Hex(Bytes(written->second)))
          << "U+" << std::hex << static_cast<unsigned>(text[i]);
    }
    ADD_FAILURE() << "written otherwise only within a longer text";
  }

  // Reading: every byte and every pair, and all the text in one go.
  std::string all;
  std::u16string all_text;
  for (unsigned a = 0; a < 0x100; ++a) {
    const std::string one(1, static_cast<char>(a));
    ExpectSame(DecodeBytes(one, cp, {.refuse_lossy_bytes = true}), Expected(table, one), one);
    for (unsigned b = 0; b < 0x100; ++b) {
      const std::string two{static_cast<char>(a), static_cast<char>(b)};
      const CheckedText expected = Expected(table, two);
      ExpectSame(DecodeBytes(two, cp, {.refuse_lossy_bytes = true}), expected, two);
      if (!expected.refused) {
        all += two;
        all_text += expected.text;
      }
    }
  }
  EXPECT_TRUE(DecodeBytes(all, cp) == all_text);
}

TEST(PublishedTables, EveryCharacterAndEveryPairAsWindowsHasThem) {
  for (const CodePage cp : {936u, 950u, 932u, 949u, 1252u}) {
    const std::string path = VANTOREL_CODEC_DATA "/bestfit" + std::to_string(cp) + ".txt";
    SCOPED_TRACE(path);
    std::ifstream in(path, std::ios::binary);
    std::string error;
    const auto table = bestfit::Read(in, error);
    ASSERT_TRUE(table) << error;
    ASSERT_EQ(table->codepage, cp);
    CheckCodePage(*table);
  }
}

}  // namespace
}  // namespace 字符串加密
