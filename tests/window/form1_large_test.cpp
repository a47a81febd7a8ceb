// Form1 with large text: the boxes have no length limit, every group reaches
// the lower box, and a long paste into the upper box, written in pieces, takes
// a second, not minutes.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "codec/codec.hpp"
#include "tests/window/form1_driver.hpp"

namespace vantorel {
namespace {

using testing::Click;
using testing::Form1Test;
using testing::Pump;
using testing::Text;
using testing::Type;

std::u16string Hex(const std::u16string& text) { return 字符串加密::TextToHex(text); }

// Counts the reads of a box's whole text.
LRESULT CALLBACK CountReads(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                            DWORD_PTR data) {
  if (message == WM_GETTEXT) ++*reinterpret_cast<int*>(data);
  if (message == WM_SETTEXT) *reinterpret_cast<int*>(data) += 1000;
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

// Text of n characters with line breaks and surrogate pairs everywhere,
// some of them across the places where a paste is cut into pieces.
std::u16string Mixed(std::size_t n) {
  std::u16string text;
  while (text.size() < n) {
    text += u"中文ab\r\n";
    text += u"\xD83D\xDE00";  // a character outside the BMP: "?" in code page 936
    text += u"x\r\n\r\n";
  }
  text.resize(n);
  if (text.back() >= 0xD800 && text.back() <= 0xDBFF) text.back() = u'y';
  return text;
}

TEST_F(Form1Test, PasteOf100000ChineseCharacters) {
  std::u16string text;
  for (int i = 0; i < 100000; ++i) text += static_cast<char16_t>(u'一' + i % 1000);
  ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), text));
  SetFocus(text1());
  const auto start = std::chrono::steady_clock::now();
  SendMessageW(text1(), WM_PASTE, 0, 0);
  Pump(form_);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("paste of 100,000 Chinese characters: %.2f s\n", seconds);
  RecordProperty("paste_seconds", std::to_string(seconds));
  EXPECT_EQ(Text(text1()), text);
  const std::u16string hex = Text(text2());
  ASSERT_EQ(hex.size(), 599999u);
  EXPECT_EQ(hex.substr(0, 11), u"D2 BB B6 A1");  // 一丁
}

TEST_F(Form1Test, LongPasteEncodesOnce) {
  for (const std::size_t n : {1999u, 2000u, 2001u, 4003u, 9000u}) {
    SCOPED_TRACE(n);
    Retype(text1(), u"ab");
    SendMessageW(text1(), EM_EMPTYUNDOBUFFER, 0, 0);  // so that undo takes back the paste alone
    const std::u16string text = Mixed(n);
    ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), text));
    int reads = 0;
    SetWindowSubclass(text1(), CountReads, 1, reinterpret_cast<DWORD_PTR>(&reads));
    Type(form_, text1(), u"\x16");  // Ctrl+V
    RemoveWindowSubclass(text1(), CountReads, 1);
    EXPECT_EQ(reads, 1);  // Text1_Change read Text1 once, and nothing set it
    EXPECT_EQ(Text(text1()), u"ab" + text);
    EXPECT_EQ(Text(text2()), Hex(u"ab" + text));
    // The pieces undo as one paste.
    Type(form_, text1(), u"\x1A");  // Ctrl+Z
    EXPECT_EQ(Text(text1()), u"ab");
    EXPECT_EQ(Text(text2()), u"61 62");
  }
}

TEST_F(Form1Test, DecodeOfLongHexText) {
  std::u16string text;
  while (text.size() < 6000) text += u"中文ab\r\n";
  // The lower box takes the hex text in lower case, by a paste.
  std::u16string hex = Hex(text);
  for (char16_t& c : hex) {
    if (c >= u'A' && c <= u'F') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), hex));
  SetFocus(text2());
  SendMessageW(text2(), WM_PASTE, 0, 0);
  int writes = 0;
  SetWindowSubclass(text1(), CountReads, 1, reinterpret_cast<DWORD_PTR>(&writes));
  Click(form_, decode());
  RemoveWindowSubclass(text1(), CountReads, 1);
  EXPECT_EQ(writes / 1000, 1);  // one WM_SETTEXT, the rest in pieces
  EXPECT_EQ(Text(text1()), text);
  EXPECT_EQ(Text(text2()), Hex(text));
}

}  // namespace
}  // namespace vantorel
