#include "utf8.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vantorel {
namespace {

using Kind = Utf8Error::Kind;

// Every way a byte sequence can fail, where its offset is reported, and what a
// valid one becomes; the ASCII fast path reads eight bytes at a time, so bad
// bytes sit before, at and after word boundaries.
TEST(Utf8Test, ReadsValidAndRefusesInvalidSequences) {
  struct Case {
    std::string utf8;
    std::u16string utf16;  // when valid
    std::optional<Utf8Error> error;
  };
  const Case cases[] = {
      {"", u"", {}},
      {"Hi\n", u"Hi\n", {}},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3), {}},
      {"\xC2\x80", u"\u0080", {}},
      {"\xDF\xBF", u"\u07FF", {}},
      {"\xE0\xA0\x80", u"\u0800", {}},
      {"\xE4\xB8\xAD", u"中", {}},
      {"\xED\x9F\xBF", u"\uD7FF", {}},
      {"\xEE\x80\x80", u"\uE000", {}},
      {"\xEF\xBF\xBF", u"\uFFFF", {}},
      {"\xF0\x90\x80\x80", u"\U00010000", {}},
      {"\xF0\x9F\x98\x80", u"\U0001F600", {}},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", {}},
      {"0123456789abcdef\xE4\xB8\xAD!", u"0123456789abcdef中!", {}},

      {"\x80", {}, Utf8Error{Kind::kStrayContinuation, 0}},
      {"\xE4\xB8\xAD\xAD", {}, Utf8Error{Kind::kStrayContinuation, 3}},
      {"ab\xC0\x80", {}, Utf8Error{Kind::kOverlong, 2}},
      {"\xC1\xBF", {}, Utf8Error{Kind::kOverlong, 0}},
      {"\xE0\x9F\xBF", {}, Utf8Error{Kind::kOverlong, 0}},
      {"\xF0\x8F\xBF\xBF", {}, Utf8Error{Kind::kOverlong, 0}},
      {"\xED\xA0\x80", {}, Utf8Error{Kind::kSurrogate, 0}},
      {"x\xED\xBF\xBF", {}, Utf8Error{Kind::kSurrogate, 1}},
      {"\xF4\x90\x80\x80", {}, Utf8Error{Kind::kTooLarge, 0}},
      {"\xF5\x80\x80\x80", {}, Utf8Error{Kind::kTooLarge, 0}},
      {"\xF8\x88\x80\x80\x80", {}, Utf8Error{Kind::kInvalidByte, 0}},
      {"\xFE", {}, Utf8Error{Kind::kInvalidByte, 0}},
      {"\xFF", {}, Utf8Error{Kind::kInvalidByte, 0}},
      {"abc\xE4\xB8", {}, Utf8Error{Kind::kTruncated, 3}},
      {"\xE4\x41\x42", {}, Utf8Error{Kind::kTruncated, 0}},
      {"\xE4\xB8\x41", {}, Utf8Error{Kind::kTruncated, 0}},
      {"\xF0\x9F\x98", {}, Utf8Error{Kind::kTruncated, 0}},
      {"\xC2", {}, Utf8Error{Kind::kTruncated, 0}},
      {"\xED", {}, Utf8Error{Kind::kTruncated, 0}},
      {"1234567\xFF", {}, Utf8Error{Kind::kInvalidByte, 7}},
      {"12345678\xFF", {}, Utf8Error{Kind::kInvalidByte, 8}},
      {"123456789\xFF", {}, Utf8Error{Kind::kInvalidByte, 9}},
      {"0123456789abcdef\xE4\xB8\xAD\x80", {}, Utf8Error{Kind::kStrayContinuation, 19}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    EXPECT_EQ(FindInvalidUtf8(c.utf8), c.error);
    std::u16string out = u"<";
    EXPECT_EQ(AppendUtf16(c.utf8, out), c.error);
    // On failure nothing is appended.
    EXPECT_EQ(out, u"<" + (c.error ? u"" : c.utf16));
  }
}

TEST(Utf8Test, WritesUtf16AsUtf8) {
  struct Case {
    std::u16string utf16;
    std::string utf8;
  };
  const Case cases[] = {
      {u"", ""},
      {std::u16string(1, u'\0'), std::string(1, '\0')},
      {u"\u007F", "\x7F"},
      {u"\u0080", "\xC2\x80"},
      {u"\u07FF", "\xDF\xBF"},
      {u"\u0800", "\xE0\xA0\x80"},
      {u"中", "\xE4\xB8\xAD"},
      {u"\uFFFF", "\xEF\xBF\xBF"},
      {u"a\U0001F600b",
       "a\xF0\x9F\x98\x80"
       "b"},
      {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      // Lone surrogates have no UTF-8 form.
      {std::u16string(1, char16_t{0xD800}), "\xEF\xBF\xBD"},
      {std::u16string{char16_t{0xD800}, u'A'},
       "\xEF\xBF\xBD"
       "A"},
      {std::u16string{char16_t{0xDC00}, char16_t{0xD800}}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    std::string out = "<";
    AppendUtf8(c.utf16, out);
    EXPECT_EQ(out, "<" + c.utf8) << testing::PrintToString(c.utf16);
  }
}

// Every scalar value there is goes to UTF-8 and comes back unchanged, taking
// 1, 2, 3 or 4 bytes by its range.
TEST(Utf8Test, EveryScalarValueRoundTrips) {
  std::u16string all;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp < 0x10000) {
      all.push_back(static_cast<char16_t>(cp));
    } else {
      all.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      all.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
  }
  std::string utf8;
  AppendUtf8(all, utf8);
  EXPECT_EQ(utf8.size(), 0x80 * 1 + 0x780 * 2 + (0x10000 - 0x800 - 0x800) * 3 + 0x100000 * 4);
  std::u16string back;
  ASSERT_EQ(AppendUtf16(utf8, back), std::nullopt);
  EXPECT_EQ(back, all);
}

TEST(Utf8Test, CharacterBoundaryNeverCutsACharacter) {
  struct Case {
    std::string utf8;
    std::size_t max_bytes;
    std::size_t boundary;
  };
  const Case cases[] = {
      {"abc", 2, 2},
      {"abc", 3, 3},
      {"abc", 9, 3},
      {"a\xE4\xB8\xAD"
       "b",
       1, 1},
      {"a\xE4\xB8\xAD"
       "b",
       2, 1},
      {"a\xE4\xB8\xAD"
       "b",
       3, 1},
      {"a\xE4\xB8\xAD"
       "b",
       4, 4},
      {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 7, 4},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CharacterBoundary(c.utf8, c.max_bytes), c.boundary)
        << testing::PrintToString(c.utf8) << " " << c.max_bytes;
}

}  // namespace
}  // namespace vantorel
