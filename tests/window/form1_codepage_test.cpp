// Form1 under another ANSI code page: ctest runs this program under
// LC_ALL=ja_JP.UTF-8 (code page 932) and en_US.UTF-8 (1252), from which Wine
// takes the code page. Typing, "Encode" and "Decode" give that code page's
// bytes, and a refused decode names it, in the user's language.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "codec/codec.hpp"
#include "tests/window/form1_driver.hpp"
#include "window/messages.hpp"

namespace vantorel {
namespace {

using Reason = 字符串加密::GroupError::Reason;
using testing::Click;
using testing::Form1Test;
using testing::Text;
using testing::Type;

TEST_F(Form1Test, WorksInTheSystemsCodePage) {
  const struct {
    UINT cp;
    const char16_t* typed;      // into Text1
    const char16_t* hex;        // Text2 then
    const char16_t* read;       // typed into Text2 for "Decode"
    const char16_t* text;       // Text1 then
    const char16_t* canonical;  // Text2 then
    const char16_t* refused;    // typed into Text2: "Decode" refuses it
    字符串加密::GroupError error;
  } cases[] = {
      {932,
       u"中あｱ😀",
       u"92 86 82 A0 B1 3F 3F",
       u"83 4a 83 69",
       u"カナ",
       u"83 4A 83 69",
       u"41 82",
       {Reason::kNotText, 2, 3, u"82"}},
      // Every byte is text in 1252, even the five it leaves unassigned (Windows reads them as
      // the control characters U+0081 and so on): only a group above FF is refused.
      {1252,
       u"é€中",
       u"E9 80 3F",
       u"c5 9c",
       u"Åœ",
       u"C5 9C",
       u"41 100",
       {Reason::kTooLarge, 2, 3, u"100"}},
  };
  const auto c = std::find_if(std::begin(cases), std::end(cases),
                              [](const auto& c) { return c.cp == GetACP(); });
  ASSERT_NE(c, std::end(cases)) << "code page " << GetACP()
                                << ": run under LC_ALL=ja_JP.UTF-8 or en_US.UTF-8";
  // "Encode" replaces what was typed into Text2, with nothing for no text.
  Retype(text2(), u"41");
  Click(form_, encode());
  EXPECT_EQ(Text(text2()), u"");
  SetFocus(text1());
  Type(form_, text1(), c->typed);
  EXPECT_EQ(Text(text2()), c->hex);
  Retype(text2(), u"41");
  Click(form_, encode());
  EXPECT_EQ(Text(text2()), c->hex);

  Retype(text2(), c->read);
  Click(form_, decode());
  EXPECT_EQ(Text(text1()), c->text);
  EXPECT_EQ(Text(text2()), c->canonical);

  Retype(text2(), c->refused);
  const testing::MessageBoxCloser closer;
  Click(form_, decode());
  WaitForFocus();
  testing::ExpectErrorBox(closer.seen(), form_.hwnd(),
                          DecodeErrorMessage(c->error, c->cp, testing::Language()));
  EXPECT_EQ(Text(text1()), c->text);
  EXPECT_EQ(Text(text2()), c->refused);
}

}  // namespace
}  // namespace vantorel
