// Where each character's bytes are, in every code page: characters of one,
// two and four bytes, written as 3F, and a line break; then random text,
// each of whose characters must be what EncodeText writes for it alone.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codec/codec.hpp"

namespace 字符串加密 {

void PrintTo(const Range& range, std::ostream* out) { *out << range.start << ".." << range.end; }

namespace {

TEST(ByteMap, CharactersOfEveryLength) {
  const std::u16string text = u"A中😀한\r\n";  // A, 中, a surrogate pair, 한, a line break
  const Range units[] = {{0, 1}, {1, 2}, {2, 4}, {4, 5}, {5, 7}};
  const struct {
    CodePage cp;
    std::size_t lengths[5];  // of each character's bytes
  } cases[] = {
      {936, {1, 2, 2, 1, 2}},   {54936, {1, 2, 4, 4, 2}}, {950, {1, 2, 2, 1, 2}},
      {932, {1, 2, 2, 1, 2}},   {949, {1, 2, 2, 2, 2}},   {1252, {1, 1, 2, 1, 2}},
      {65001, {1, 3, 4, 3, 2}}, {1200, {2, 2, 4, 2, 4}},  {1201, {2, 2, 4, 2, 4}},
  };
  for (const auto& c : cases) {
    if (!IsCodePageAvailable(c.cp)) continue;  // GB18030 under Wine
    const EncodedText encoded = EncodeText(text, c.cp);
    const ByteMap map(text, encoded, c.cp);
    std::size_t at = 0;
    for (std::size_t k = 0; k < 5; ++k, at += c.lengths[k - 1]) {
      SCOPED_TRACE(testing::Message() << c.cp << " character " << k);
      const Range u = units[k], bytes{at, at + c.lengths[k]};
      // Whole, as a caret before it, by its last code unit alone; back from each byte.
      EXPECT_EQ(map.BytesOf(u), bytes);
      EXPECT_EQ(map.BytesOf({u.start, u.start}), bytes);
      EXPECT_EQ(map.BytesOf({u.end - 1, u.end}), bytes);
      for (std::size_t b = bytes.start; b < bytes.end; ++b) EXPECT_EQ(map.UnitsOf({b, b + 1}), u);
    }
    EXPECT_EQ(map.BytesOf({7, 7}), (Range{at, at}));  // at the end, nothing
    EXPECT_EQ(map.UnitsOf({at, at}), (Range{7, 7}));
  }
  // Canonical hex text, "48 69 D6 D0": the groups a selection touches (a caret: the one it is
  // before or in), and back.
  const Range hex[][2] = {
      {{0, 0}, {0, 1}}, {{2, 2}, {1, 2}}, {{1, 4}, {0, 2}}, {{2, 3}, {1, 1}}, {{4, 11}, {1, 4}}};
  for (const auto& [selected, groups] : hex) EXPECT_EQ(GroupsIn(selected), groups);
  EXPECT_EQ(HexOfGroups({1, 3}), (Range{3, 8}));
}

// More than the 4,096 code units from which the code-page stage uses its tables.
TEST(ByteMap, AgreesWithEncodeTextCharacterByCharacter) {
  const std::pair<char32_t, char32_t> pools[] = {
      {0x20, 0x7E},       {0xA0, 0xFF},       {0x3041, 0x30FF}, {0x4E00, 0x9FFF},
      {0xAC00, 0xD7A3},   {0xE000, 0xE8FF},   {0xF8F0, 0xF8FF}, {0xFF61, 0xFFEF},
      {0x1F600, 0x1F64F}, {0x20000, 0x2A6DF}, {0xD800, 0xDFFF}};
  std::mt19937 random(19);
  std::u16string text;
  while (text.size() < 6000) {
    if (random() % 16 == 0) text += u"\r\n";
    const auto [low, high] = pools[random() % std::size(pools)];
    const char32_t c = low + random() % (high - low + 1);
    if (c >= 0x10000) text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    text += static_cast<char16_t>(c < 0x10000 ? c : 0xDC00 + ((c - 0x10000) & 0x3FF));
  }
  std::vector<CodePage> pages{SystemCodePage()};
  for (const NamedCodePage& named : NamedCodePages()) {
    if (IsCodePageAvailable(named.cp)) pages.push_back(named.cp);
  }
  for (const CodePage cp : pages) {
    const EncodedText encoded = EncodeText(text, cp);
    const ByteMap map(text, encoded, cp);
    Range bytes;
    for (std::size_t unit = 0; unit < text.size();) {
      ASSERT_EQ(map.BytesOf({unit, unit}).start, bytes.end) << cp << " at " << unit;
      bytes = map.BytesOf({unit, unit});
      const std::size_t end = map.UnitsOf(bytes).end;
      ASSERT_EQ(encoded.bytes.substr(bytes.start, bytes.end - bytes.start),
                EncodeText(std::u16string_view(text).substr(unit, end - unit), cp).bytes)
          << cp << " at " << unit;
      unit = end;
    }
    EXPECT_EQ(bytes.end, encoded.bytes.size());
  }
}

}  // namespace
}  // namespace 字符串加密
