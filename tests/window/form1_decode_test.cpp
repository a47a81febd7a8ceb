// Decode beyond the lenient reading, driven through Form1's real window: its
// offer to read hex of another shape, its note on what it left unread, undo
// in both boxes, and Text2's byte count and "Copy as".
#include <windows.h>
// (commctrl.h needs windows.h first.)
#include <commctrl.h>
#include <gtest/gtest.h>

#include "tests/window/form1_driver.hpp"
#include "win32/clipboard.hpp"
#include "win32/edit_menu.hpp"

namespace vantorel {
namespace {

using testing::Click;
using testing::Form1Test;
using testing::Language;
using testing::Text;
using testing::Type;
using Reason = 字符串加密::GroupError::Reason;
using Shape = 字符串加密::HexShape;

LRESULT Selection(HWND box) { return SendMessageW(box, EM_GETSEL, 0, 0); }

// A refused decode names the group and why (messages_test has the refusals);
// where hex of another shape reads as text, it asks, Yes or No, whether to
// read it so, and Yes decodes that. Otherwise neither box changes, and the
// group is selected in Text2 (an empty one as its two spaces), which has the
// focus.
TEST_F(Form1Test, RefusedDecodeOffersHexOfAnotherShape) {
  const struct {
    const char16_t* typed;
    int answer;
    字符串加密::GroupError error;
    const char16_t* offered;  // null: nothing offered, only OK
    LRESULT selection;
  } cases[] = {
      {u"486", IDOK, {Reason::kTooLarge, 1, 0, u"486"}, nullptr, MAKELONG(0, 3)},
      {u" 48 100", IDOK, {Reason::kTooLarge, 2, 4, u"100"}, nullptr, MAKELONG(4, 7)},
      {u"48 00 69", IDOK, {Reason::kZeroByte, 2, 3, u"00"}, nullptr, MAKELONG(3, 5)},
      {u"zz", IDOK, {Reason::kZeroByte, 1, 0, u"zz"}, nullptr, MAKELONG(0, 2)},
      {u"48 69 D6", IDOK, {Reason::kNotText, 3, 6, u"D6"}, nullptr, MAKELONG(6, 8)},
      {u"48  00", IDOK, {Reason::kZeroByte, 2, 3, u""}, nullptr, MAKELONG(2, 4)},
      {u"48  69", IDNO, {Reason::kZeroByte, 2, 3, u""}, u"48 69", MAKELONG(2, 4)},
      {u"486C6C6F", IDNO, {Reason::kTooLarge, 1, 0, u"486C6C6F"}, u"48 6C 6C 6F", MAKELONG(0, 8)},
      {u"48656C6C6F", IDYES, {Reason::kTooLarge, 1, 0, u"48656C6C6F"}, u"48 65 6C 6C 6F", 0},
  };
  ASSERT_EQ(GetACP(), 936u);
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases + 1));
    Retype(text1(), u"keep");
    Retype(text2(), c.typed);
    SetFocus(text1());
    const testing::MessageBoxCloser closer(c.answer);
    Click(form_, decode());
    WaitForFocus();
    EXPECT_EQ(closer.seen().text, c.offered
                                      ? ReadInAnyShapeQuestion(c.error, 936, c.offered, Language())
                                      : DecodeErrorMessage(c.error, 936, Language()));
    // One box, the form's; Yes and No, or OK alone (the one pressed was there).
    EXPECT_EQ(closer.seen().count, 1);
    EXPECT_EQ(closer.seen().owner, form_.hwnd());
    EXPECT_EQ(closer.seen().buttons, c.offered ? 2 : 1);
    EXPECT_EQ(closer.seen().error_icon, !c.offered);
    EXPECT_EQ(Text(text1()), c.answer == IDYES ? u"Hello" : u"keep");
    EXPECT_EQ(Text(text2()), c.answer == IDYES ? c.offered : c.typed);
    EXPECT_EQ(Selection(text2()), c.selection);
    EXPECT_EQ(GetFocus(), c.answer == IDYES ? decode() : text2());
  }
}

// A decode that left characters unread says so in a balloon at Text2, which
// takes no focus; Ctrl+Z there brings back what was typed, selected, and a
// second undo, from the shortcut menu, the decoded hex again.
TEST_F(Form1Test, DecodeNotesWhatItLeftUnreadAndUndoes) {
  const auto balloon = [] {
    wchar_t text[1024] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.lpszText = text;
    const HWND tip = FindWindowW(TOOLTIPS_CLASSW, nullptr);
    tool.hwnd = GetWindow(tip, GW_OWNER);
    tool.uId = 1;
    if (IsWindowVisible(tip))
      SendMessageW(tip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
    return std::u16string(text, text + lstrlenW(text));
  };
  const std::u16string typed = u"48,65,6C";
  Retype(text2(), typed);
  Click(form_, decode());
  EXPECT_EQ(Text(text1()) + Text(text2()), u"H48");
  EXPECT_EQ(balloon(), UnreadGroupsMessage(字符串加密::FindUnreadGroups(typed), typed, Language()));
  EXPECT_EQ(GetFocus(), decode());
  SetFocus(text2());
  Type(form_, text2(), u"\x1A");  // Ctrl+Z
  EXPECT_EQ(Text(text2()), typed);
  EXPECT_EQ(Selection(text2()), MAKELONG(0, 8));
  EXPECT_EQ(balloon(), u"");
  const auto labels = SystemEditMenuLabels();
  testing::OpenShortcutMenu(
      text2(), labels ? (*labels)[0] : EditCommandLabel(EditCommand::kUndo, Language()));
  EXPECT_EQ(Text(text1()) + Text(text2()), u"H48");
  EXPECT_EQ(Selection(text2()), MAKELONG(0, 2));
}

// Text1's undo takes back a decode (of lower-case hex) whole, though a long
// text goes in in pieces; a second undo brings it back.
TEST_F(Form1Test, Text1UndoesADecodeWhole) {
  std::u16string text;
  while (text.size() < 6000) text += u"中文ab\r\n";
  const std::u16string hex =
      字符串加密::BytesToHex(字符串加密::EncodeText(text, 936).bytes, {.lower = true});
  Retype(text1(), u"keep");
  SetWindowTextW(text2(), std::wstring(hex.begin(), hex.end()).c_str());
  Click(form_, decode());
  EXPECT_EQ(Text(text2()), 字符串加密::TextToHex(text));
  SetFocus(text1());
  for (const std::u16string& expected : {std::u16string(u"keep"), text}) {
    Type(form_, text1(), u"\x1A");
    EXPECT_EQ(Text(text1()), expected);
    EXPECT_EQ(Selection(text1()), MAKELONG(0, expected.size()));
    EXPECT_EQ(Text(text2()), 字符串加密::TextToHex(expected));
  }
}

// Text2's shortcut menu: atop it, greyed, the bytes the box holds; "Copy as"
// copies the whole groups the selection touches, or everything, as the
// lenient reading reads them where it reads every character, else as the
// any-shape reading does; it is greyed where neither reads them.
TEST_F(Form1Test, Text2MenuCountsBytesAndCopiesAs) {
  const struct {
    const wchar_t* hex;
    DWORD start, end;
    字符串加密::HexStyle style;
    std::optional<std::size_t> bytes;
    const char16_t* copied;
  } cases[] = {
      {L"48 65 6C", 0, 0, {.shape = Shape::kPlain}, 3, u"48656C"},
      {L"48 65 6C", 0, 0, {.shape = Shape::k0x}, 3, u"0x48, 0x65, 0x6C"},
      {L"48 65 6C", 0, 0, {.shape = Shape::kEscaped}, 3, u"\\x48\\x65\\x6C"},
      {L"48 65 6C", 0, 0, {.shape = Shape::kC}, 3, u"{ 0x48, 0x65, 0x6C }"},
      {L"48 65 6C", 0, 0, {.lower = true}, 3, u"48 65 6c"},
      {L"48 65 6C", 1, 4, {.shape = Shape::kC}, 3, u"{ 0x48, 0x65 }"},  // "8 6"
      {L"0x48,0x65 0041", 0, 0, {.shape = Shape::kPlain}, 4, u"48650041"},
      {L"0x48,0x65 0041", 12, 13, {.shape = Shape::kPlain}, 4, u"41"},
      {L"48 zz", 0, 0, {}, std::nullopt, u"before"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases + 1));
    SetWindowTextW(text2(), c.hex);
    SendMessageW(text2(), EM_SETSEL, c.start, c.end);
    ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), u"before"));
    // (A greyed "Copy as" opens nothing to choose from.)
    const std::vector<testing::MenuItem> menu = testing::OpenShortcutMenu(
        text2(), c.bytes ? CopyAsLabel(Language()) : u"", CopyAsItemLabel(c.style, Language()));
    ASSERT_EQ(menu.size(), 12u);
    EXPECT_EQ(menu[0], (testing::MenuItem{ByteCountLabel(c.bytes, Language()), false}));
    EXPECT_EQ(menu[11], (testing::MenuItem{CopyAsLabel(Language()), c.bytes.has_value()}));
    EXPECT_EQ(ClipboardText(form_.hwnd()), c.copied);
  }
}

}  // namespace
}  // namespace vantorel
