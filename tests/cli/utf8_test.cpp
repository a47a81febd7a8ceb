#include "cli/utf8.hpp"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

namespace vantorel {
namespace {

// Each edge of UTF-8, read one way and, when valid, written back the other. The
// ASCII fast path reads eight bytes at a time, so bad bytes also sit about a word's
// edge; the vector paths take 64 bytes, or eight characters of three bytes, so
// the long rows run through them, leave them and stop at a block's edge. Invalid
// rows name the kind as the tool's message does and its byte offset.
TEST(Utf8Test, ReadsEdgesAndWritesThemBack) {
  struct Case {
    std::string utf8;
    std::u16string utf16;    // when valid
    std::string_view error;  // empty when valid
    std::size_t offset;
  };
  const std::string_view overlong = "an overlong sequence",
                         surrogate = "a surrogate (U+D800 to U+DFFF)",
                         too_large = "a value above U+10FFFF", cut = "an incomplete sequence",
                         stray = "a continuation byte without a lead byte",
                         never = "a byte that never appears in UTF-8";
  const auto repeat = [](const auto& s, int n) {
    std::remove_cvref_t<decltype(s)> all;
    for (int i = 0; i < n; ++i) all += s;
    return all;
  };
  const std::string chinese = "中文，中文。中文、中文a";  // 11 of three bytes, then ASCII
  const std::u16string chinese16 = u"中文，中文。中文、中文a";
  const Case cases[] = {
      {repeat(chinese, 12), repeat(chinese16, 12), {}, 0},
      {repeat(chinese, 3) + "\xED\xA0\x80" + repeat(chinese, 3), {}, surrogate, 3 * 34},
      {repeat(std::string("中"), 21) + "\x80" + repeat(chinese, 3), {}, stray, 63},
      {repeat(std::string("中"), 30) + "\xE4\xB8", {}, cut, 90},
      {std::string("a\0\x7F", 3), std::u16string(u"a\0\x7F", 3), {}, 0},
      {"\xC2\x80\xDF\xBF", u"\u0080\u07FF", {}, 0},
      {"\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF", u"\u0800\uD7FF\uE000\uFFFF", {}, 0},
      {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", u"\U00010000\U0010FFFF", {}, 0},
      {"0123456789abcdef\xE4\xB8\xAD\xF0\x9F\x98\x80!", u"0123456789abcdef中😀!", {}, 0},
      {"ab\xC0\x80", {}, overlong, 2},
      {"\xE0\x9F\xBF", {}, overlong, 0},
      {"\xF0\x8F\xBF\xBF", {}, overlong, 0},
      {"\xED\xA0\x80", {}, surrogate, 0},
      {"x\xED\xBF\xBF", {}, surrogate, 1},
      {"\xF4\x90\x80\x80", {}, too_large, 0},
      {"\xF5\x80\x80\x80", {}, too_large, 0},
      {"abc\xE4\xB8", {}, cut, 3},
      {"\xE4\xB8\x41", {}, cut, 0},
      {"\x80", {}, stray, 0},
      {"0123456789abcdef\xE4\xB8\xAD\x80", {}, stray, 19},
      {"\xF8\x88\x80\x80\x80", {}, never, 0},
      {"1234567\xFF", {}, never, 7},
      {"12345678\xFF", {}, never, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    const auto found = FindInvalidUtf8(c.utf8);
    std::u16string utf16 = u"<";
    const auto appended = AppendUtf16(c.utf8, utf16);
    EXPECT_EQ(found, appended);
    EXPECT_EQ(found ? Describe(found->kind) : "", c.error);
    EXPECT_EQ(found ? found->offset : 0, c.offset);
    EXPECT_EQ(utf16, u"<" + c.utf16);  // nothing appended on failure
    std::string utf8 = "<";
    if (!found) {
      AppendUtf8(c.utf16, utf8);
      EXPECT_EQ(utf8, "<" + c.utf8);
    }
  }
  // A lone surrogate has no UTF-8 form: U+FFFD stands for it.
  std::string utf8;
  AppendUtf8(std::u16string{char16_t{0xDC00}, char16_t{0xD800}, u'A'}, utf8);
  EXPECT_EQ(utf8,
            "\xEF\xBF\xBD\xEF\xBF\xBD"
            "A");
}

}  // namespace
}  // namespace vantorel
