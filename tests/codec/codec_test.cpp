// The codec through the platform's code-page layer: Windows' converters under
// Wine, iconv elsewhere. Code page 936 unless a case names another.
#include "codec/codec.hpp"

#include <gtest/gtest.h>

#include <string>

#include "tests/codec/group_error_printer.hpp"

namespace 字符串加密 {
namespace {

using Reason = GroupError::Reason;
using namespace std::string_literals;

constexpr CodePage kGbk = 936;

std::string Ascii(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

// In 936 unless a row names another code page: those beyond the published
// tables (published_test) and those that write all of Unicode (unicode_test)
// are converters that hold the last character back for a combining mark.
TEST(Codec, WorkedValuesBothWays) {
  const struct {
    std::u16string text;
    std::u16string hex;
    CodePage cp = kGbk;
  } cases[] = {
      {u"", u""},
      {u"Hi", u"48 69"},
      {u"\r\n", u"0D 0A"},
      {u"中", u"D6 D0"},
      {u"  ", u"20 20"},
      {u"\t", u"09"},
      {u"中文 text\r\n", u"D6 D0 CE C4 20 74 65 78 74 0D 0A"},
      {u"א", u"E0", 1255},
      {u"AB", u"41 42", 1258},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextToHex(c.text, c.cp), c.hex) << Ascii(c.hex);
    const auto text = HexToText(c.hex, c.cp, {true, true});
    ASSERT_TRUE(text.ok()) << Ascii(c.hex);
    EXPECT_EQ(text.value(), c.text) << Ascii(c.hex);
  }
  EXPECT_EQ(TextToHex(u"中"), u"D6 D0") << "the system's code page is 936 here";
  EXPECT_FALSE(IsCodePageAvailable(12345));
}

TEST(Codec, CharactersTheCodePageLacksBecome3FOnePerCodeUnit) {
  const struct {
    CodePage cp;
    std::u16string text;
    std::u16string hex;
    std::size_t unmappable;
    std::size_t first;
  } cases[] = {
      {kGbk, u"Ā", u"3F", 1, 0},  // no best fit to A
      {kGbk, u"a가b", u"61 3F 62", 1, 1},
      {kGbk, u"😀", u"3F 3F", 1, 0},  // outside the BMP: two code units
      {kGbk, u"中😀가", u"D6 D0 3F 3F 3F", 2, 1},
      {kGbk, u"\xd800x", u"3F 78", 1, 0},  // a lone surrogate
      {kGbk, u"?", u"3F", 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextToHex(c.text, c.cp), c.hex) << Ascii(c.hex);
    const EncodedText encoded = EncodeText(c.text, c.cp);
    EXPECT_EQ(encoded.unmappable, c.unmappable) << Ascii(c.hex);
    if (c.unmappable != 0) {
      EXPECT_EQ(encoded.first_unmappable, c.first) << Ascii(c.hex);
    }
  }
}

// Where the other code pages refuse bytes, and why, is held byte by byte to
// Microsoft's tables (published_test) and to fixed digests (unicode_test).
TEST(DecodeBytes, RefusesTheFirstZeroByteOrByteThatDoesNotComeBack) {
  constexpr auto kNone = std::optional<std::size_t>();
  const struct {
    std::string bytes;
    std::optional<Reason> reason;
    std::optional<std::size_t> byte;
  } cases[] = {
      {"", {}, kNone},
      {"Hi", {}, kNone},
      {"\xd6\xd0", {}, kNone},
      {"H\0i"s, Reason::kZeroByte, 1},
      {"Hi\xd6", Reason::kNotText, 2},
      {"\xd6\xd0\xd6", Reason::kNotText, 2},
      {"\0\xd6"s, Reason::kZeroByte, 0},
      {"\xd6\xd0\x81\x7f\0"s, Reason::kNotText, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Ascii(BytesToHex(c.bytes)));
    const CheckedText checked = DecodeBytes(c.bytes, kGbk, {true, true});
    EXPECT_EQ(checked.text, DecodeBytes(c.bytes, kGbk));
    EXPECT_EQ(checked.refused.has_value(), c.reason.has_value());
    if (checked.refused && c.reason) {
      EXPECT_EQ(checked.refused->reason, *c.reason);
      EXPECT_EQ(checked.refused->byte, *c.byte);
    }
  }
}

// HexToText names the group of the byte DecodeBytes refused, and what the
// bytes read as.
TEST(HexToText, RefusesWhatTheCallerCannotHoldNamingTheGroup) {
  const struct {
    std::u16string hex;
    DecodeChecks checks;
    GroupError error;
    CodePage cp = kGbk;
  } cases[] = {
      {u"486", {}, {Reason::kTooLarge, 1, 0, u"486"}},
      {u"00 486", {true, true}, {Reason::kTooLarge, 2, 3, u"486"}},
      {u"48 00 69", {true, false}, {Reason::kZeroByte, 2, 3, u"00"}},
      {u"48 69 d6 ", {true, true}, {Reason::kNotText, 3, 6, u"d6"}},
      {u"D6 00 D6", {true, true}, {Reason::kNotText, 1, 0, u"D6"}},
      // UTF-16: an odd byte at the end, a lone surrogate.
      {u"41 00 42", {true, true}, {Reason::kNotText, 3, 6, u"42"}, 1200},
      {u"3D D8 41 00", {true, true}, {Reason::kNotText, 1, 0, u"3D"}, 1200},
      {u"00 41 DC 00", {true, true}, {Reason::kNotText, 3, 6, u"DC"}, 1201},
      {u"41 00 00 00 00", {true, true}, {Reason::kZeroByte, 3, 6, u"00"}, 1200},
      // What the bytes read as, and what the code page writes for it.
      {u"41 a2 CC",
       {false, true},
       {Reason::kWrittenOtherwise, 2, 3, u"a2", U'十', "\xA2\xCC", "\xA4\x51"},
       950},
  };
  for (const auto& c : cases) {
    const auto text = HexToText(c.hex, c.cp, c.checks);
    ASSERT_FALSE(text.ok()) << Ascii(c.hex);
    EXPECT_EQ(text.error(), c.error) << Ascii(c.hex);
  }
  // What the checks leave alone decodes.
  EXPECT_TRUE(HexToText(u"48 69 D6", kGbk, {true, false}).ok());
  EXPECT_TRUE(HexToText(u"48 00 69", kGbk, {false, true}).ok());
}

}  // namespace
}  // namespace 字符串加密
