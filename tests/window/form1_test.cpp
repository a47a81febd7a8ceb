// Form1 driven through its real window and the program's own message loop, as
// a person would: keys and characters posted to its controls, clicks, its
// shortcut menus and its system menu's encoding submenu.
#include "window/form1.hpp"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "codec/codec.hpp"
#include "tests/support/gui_driver.hpp"
#include "tests/window/form1_fixture.hpp"
#include "win32/clipboard.hpp"
#include "win32/edit_menu.hpp"
#include "win32/handles.hpp"
#include "window/messages.hpp"

namespace vantorel {
namespace {

using testing::AccessibleSelf;
using testing::AccessibleText;
using testing::MessageBoxCloser;
using testing::Press;
using testing::Pump;
using testing::Text;
using testing::Type;
using Reason = 字符串加密::GroupError::Reason;
using Shape = 字符串加密::HexShape;

// A left click in the middle of a button, as mouse messages.
void Click(HWND button) {
  RECT client{};
  GetClientRect(button, &client);
  const LPARAM at = MAKELPARAM(client.right / 2, client.bottom / 2);
  PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(button, WM_LBUTTONUP, 0, at);
  Pump();
}

// The language the program speaks to this user.
UiLanguage Language() { return LanguageFromLangId(GetUserDefaultUILanguage()); }

// The one message box an operation that failed showed: the text, with the
// program's caption, an error icon and OK alone, owned by the form.
void ExpectErrorBox(const testing::MessageBoxSeen& seen, HWND form, std::u16string_view text) {
  ASSERT_EQ(seen.count, 1);
  EXPECT_EQ(seen.caption, kMessageCaption);
  EXPECT_EQ(seen.text, text);
  EXPECT_EQ(seen.owner, form);
  EXPECT_TRUE(seen.error_icon);
  EXPECT_EQ(seen.buttons, 1);
  EXPECT_TRUE(seen.only_ok);
}

// WM_GETDPISCALEDSIZE, which the Windows 7 headers the program is built
// against do not name.
constexpr UINT kGetDpiScaledSize = 0x02E4;

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

PixelRect RectInClient(HWND parent, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

PixelSize ClientSizeOf(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return {r.right, r.bottom};
}

RECT WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

// The form's layout at 96 DPI, the figures a person measures on screen, and
// at 144, one and a half times those; the window is shown at 96 DPI, centred
// in the work area, and follows a change of DPI from the twips, its client
// area exactly the twips' size, whatever size the rectangle Windows suggests
// has.
TEST_F(Form1Test, LayoutFollowsTheDpiFromTwips) {
  const struct {
    Control control;
    PixelRect at96, at144;
  } expected[] = {
      {Control::kFrame1, {8, 8, 633, 249}, {12, 12, 950, 374}},
      {Control::kText1, {24, 24, 601, 225}, {36, 36, 902, 338}},
      {Control::kFrame2, {8, 264, 633, 257}, {12, 396, 950, 386}},
      {Control::kText2, {24, 280, 601, 225}, {36, 420, 902, 338}},
      {Control::kCommand1, {408, 528, 105, 33}, {612, 792, 158, 50}},
      {Control::kCommand2, {528, 528, 105, 33}, {792, 792, 158, 50}},
  };
  const HWND form = form_.hwnd();
  ASSERT_EQ(form_.dpi(), 96u);
  EXPECT_EQ(ClientSizeOf(form), (PixelSize{649, 566}));
  for (const auto& e : expected) {
    SCOPED_TRACE(Design(e.control).name);
    EXPECT_EQ(GetParent(form_.Child(e.control)), form);
    EXPECT_EQ(RectInClient(form, form_.Child(e.control)), e.at96);
  }
  const RECT window = WindowRect(form);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(form, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  EXPECT_NEAR(window.left - work.left, work.right - window.right, 1);
  EXPECT_NEAR(window.top - work.top, work.bottom - window.bottom, 1);

  // Asked its size at its own DPI, it answers the size it has.
  SIZE answer{};
  EXPECT_TRUE(SendMessageW(form, kGetDpiScaledSize, 96, reinterpret_cast<LPARAM>(&answer)));
  EXPECT_EQ((PixelSize{answer.cx, answer.cy}),
            (PixelSize{window.right - window.left, window.bottom - window.top}));
  // A suggested rectangle a pixel too large: the window goes where it says,
  // its client area stays the twips' size.
  RECT suggested{window.left + 10, window.top + 20, window.right + 11, window.bottom + 21};
  SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(WindowRect(form).left, suggested.left);
  EXPECT_EQ(WindowRect(form).top, suggested.top);
  EXPECT_EQ(ClientSizeOf(form), (PixelSize{649, 566}));

  // At 144 DPI the size it answered for 144, not the old size scaled.
  EXPECT_TRUE(SendMessageW(form, kGetDpiScaledSize, 144, reinterpret_cast<LPARAM>(&answer)));
  suggested = {window.left, window.top, window.left + 983, window.top + 893};
  SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(form_.dpi(), 144u);
  const RECT after = WindowRect(form);
  EXPECT_EQ((PixelSize{after.right - after.left, after.bottom - after.top}),
            (PixelSize{answer.cx, answer.cy}));
  for (const auto& e : expected) {
    SCOPED_TRACE(Design(e.control).name);
    EXPECT_EQ(RectInClient(form, form_.Child(e.control)), e.at144);
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(text1(), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, MulDiv(metrics.lfMessageFont.lfHeight, 144, 96));
}

// Every control has the system's message font, and takes the new one when the
// user changes it (the setting, then WM_SETTINGCHANGE to every window); Text2
// keeps Text1's margins for it.
TEST_F(Form1Test, ControlsFollowTheSystemsMessageFont) {
  NONCLIENTMETRICSW before{};
  before.cbSize = sizeof before;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof before, &before, 0));
  NONCLIENTMETRICSW larger = before;
  larger.lfMessageFont.lfHeight = 2 * before.lfMessageFont.lfHeight;
  struct Restore {
    NONCLIENTMETRICSW metrics;
    ~Restore() { SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof metrics, &metrics, 0); }
  } const restore{before};
  for (NONCLIENTMETRICSW* metrics : {static_cast<NONCLIENTMETRICSW*>(nullptr), &larger, &before}) {
    if (metrics != nullptr) {
      ASSERT_TRUE(SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof *metrics, metrics, 0));
      SendMessageW(form_.hwnd(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS,
                   reinterpret_cast<LPARAM>(L"WindowMetrics"));
    }
    const LOGFONTW& expected = (metrics != nullptr ? *metrics : before).lfMessageFont;
    for (const Control control : kCreationOrder) {
      SCOPED_TRACE(std::string(Design(control).name) + (metrics == &larger ? " larger" : ""));
      LOGFONTW font{};
      const auto hfont =
          reinterpret_cast<HFONT>(SendMessageW(form_.Child(control), WM_GETFONT, 0, 0));
      ASSERT_EQ(GetObjectW(hfont, sizeof font, &font), static_cast<int>(sizeof font));
      EXPECT_EQ(font.lfHeight, expected.lfHeight);
      EXPECT_EQ(font.lfWeight, expected.lfWeight);
      EXPECT_STREQ(font.lfFaceName, expected.lfFaceName);
    }
    EXPECT_EQ(SendMessageW(text2(), EM_GETMARGINS, 0, 0),
              SendMessageW(text1(), EM_GETMARGINS, 0, 0));
  }
}

TEST_F(Form1Test, FocusStartsInText2AndTabFollowsTabOrder) {
  EXPECT_EQ(GetFocus(), text2());
  const HWND forward[] = {text1(), encode(), decode(), text2(), text1()};
  for (const HWND next : forward) {
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), next);
  }
  const HWND backward[] = {text2(), decode(), encode(), text1(), text2()};
  for (const HWND next : backward) {
    Press(VK_TAB, testing::kShift);
    EXPECT_EQ(GetFocus(), next);
  }
  // No tab went into the boxes on the way.
  EXPECT_EQ(Text(text1()), u"");
  EXPECT_EQ(Text(text2()), u"");
}

TEST_F(Form1Test, FocusComesBackAfterAnotherWindowWasActive) {
  SetFocus(text1());
  const HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                     nullptr, nullptr, nullptr, nullptr);
  SetActiveWindow(other);
  Pump();
  SetActiveWindow(form_.hwnd());
  Pump();
  EXPECT_EQ(GetFocus(), text1());
  DestroyWindow(other);
}

// Each step acts on Text1 and shows both boxes afterwards.
TEST_F(Form1Test, TypingInText1EncodesLive) {
  enum Act { kType, kKey, kPaste };
  const struct {
    Act act;
    const char16_t* chars;  // kType, kPaste
    UINT key;               // kKey
    const char16_t* text1;
    const char16_t* text2;
  } steps[] = {
      {kType, u"H", 0, u"H", u"48"},
      {kType, u"i", 0, u"Hi", u"48 69"},
      {kKey, nullptr, VK_RETURN, u"Hi\r\n", u"48 69 0D 0A"},
      {kType, u"中", 0, u"Hi\r\n中", u"48 69 0D 0A D6 D0"},
      {kType, u"\b", 0, u"Hi\r\n", u"48 69 0D 0A"},
      {kType, u"\b", 0, u"Hi", u"48 69"},  // one Backspace takes the whole line break
      {kKey, nullptr, VK_HOME, u"Hi", u"48 69"},
      {kKey, nullptr, VK_DELETE, u"i", u"69"},
      {kType, u"  ", 0, u"  i", u"20 20 69"},
      {kPaste, u"\t中", 0, u"  \t中i", u"20 20 09 D6 D0 69"},
      {kType, u"\x01", 0, u"  \t中i", u"20 20 09 D6 D0 69"},  // Ctrl+A selects, changes nothing
      {kType, u"\b", 0, u"", u""},
  };
  SetFocus(text1());
  for (const auto& step : steps) {
    SCOPED_TRACE("step " + std::to_string(&step - steps + 1));
    if (step.act == kType) {
      Type(text1(), step.chars);
    } else if (step.act == kPaste) {
      ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), step.chars));
      PostMessageW(text1(), WM_PASTE, 0, 0);
      Pump();
    } else {
      Press(step.key);
    }
    EXPECT_EQ(Text(text1()), step.text1);
    EXPECT_EQ(Text(text2()), step.text2);
  }
}

// Counts, while it lives, the reads of a box's whole text and the writes to
// it: the texts it is given whole, and its selection replaced (Decode replaces
// everything, undoably).
class TextCounts {
 public:
  explicit TextCounts(HWND box) : box_(box) {
    SetWindowSubclass(box, Count, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  ~TextCounts() { RemoveWindowSubclass(box_, Count, 1); }
  TextCounts(const TextCounts&) = delete;
  TextCounts& operator=(const TextCounts&) = delete;
  int reads = 0, sets = 0, replaces = 0;  // WM_GETTEXT, WM_SETTEXT, EM_REPLACESEL

 private:
  static LRESULT CALLBACK Count(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                DWORD_PTR data) {
    auto* const self = reinterpret_cast<TextCounts*>(data);
    self->reads += message == WM_GETTEXT;
    self->sets += message == WM_SETTEXT;
    self->replaces += message == EM_REPLACESEL;
    return DefSubclassProc(hwnd, message, wparam, lparam);
  }
  HWND box_;
};

// Decode writes each box once.
TEST_F(Form1Test, DecodeFillsText1ThenRewritesText2Once) {
  const struct {
    const char16_t *text1_before, *hex, *text1, *text2;
  } cases[] = {
      {u"", u" 48 6a", u"Hj", u"48 6A"},
      {u"Hj", u" 48 6a", u"Hj", u"48 6A"},  // same text above, canonical text below
      {u"abc", u"   ", u"", u""},
      {u"abc", u"", u"", u""},
      {u"", u"d6 d0 0D 0a 0041 4g", u"中\r\nA\x04", u"D6 D0 0D 0A 41 04"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases + 1));
    Retype(text1(), c.text1_before);
    SetWindowTextW(text2(), Wide(c.hex).c_str());
    const TextCounts text1_counts(text1()), text2_counts(text2());
    Click(decode());
    EXPECT_EQ(Text(text1()), c.text1);
    EXPECT_EQ(Text(text2()), c.text2);
    EXPECT_EQ(text1_counts.sets + text1_counts.replaces, 1);
    EXPECT_EQ(text2_counts.sets + text2_counts.replaces, 1);
  }
}

LRESULT Selection(HWND box) { return SendMessageW(box, EM_GETSEL, 0, 0); }

// A refused decode names the group and why (messages_test has the refusals);
// where hex of another shape reads as text, it asks, Yes or No, whether to
// read it so, and Yes decodes that. Otherwise neither box changes, and the
// group is selected in Text2 (an empty one as its two spaces), which has the
// focus. One row for each reason the lenient reading refuses and each reason
// the other reading offers nothing (the codec's tests have the rest).
TEST_F(Form1Test, RefusedDecodeOffersHexOfAnotherShape) {
  const struct {
    const char16_t* typed;
    int answer;
    字符串加密::GroupError error;
    const char16_t* offered;  // null: nothing offered, only OK
    LRESULT selection;
  } cases[] = {
      {u" 48 100", IDOK, {Reason::kTooLarge, 2, 4, u"100"}, nullptr, MAKELONG(4, 7)},
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
    const MessageBoxCloser closer(c.answer);
    Click(decode());
    testing::Focus();
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
  Click(decode());
  EXPECT_EQ(Text(text1()) + Text(text2()), u"H48");
  EXPECT_EQ(balloon(), UnreadGroupsMessage(字符串加密::FindUnreadGroups(typed), typed, Language()));
  EXPECT_EQ(GetFocus(), decode());
  SetFocus(text2());
  Type(text2(), u"\x1A");  // Ctrl+Z
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
  SetWindowTextW(text2(), Wide(hex).c_str());
  Click(decode());
  EXPECT_EQ(Text(text2()), 字符串加密::TextToHex(text));
  SetFocus(text1());
  for (const std::u16string& expected : {std::u16string(u"keep"), text}) {
    Type(text1(), u"\x1A");
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

// When memory runs out in the middle of an operation (here any allocation of
// more than 4 KiB fails), the user is told so, neither box changes, and the
// window goes on working.
TEST_F(Form1Test, OutOfMemoryShowsMessageAndChangesNothing) {
  std::u16string hex = u"41";
  while (hex.size() < 3000) hex += u" 41";
  Retype(text1(), u"keep");
  SetWindowTextW(text2(), Wide(hex).c_str());
  ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), hex));
  const struct {
    const char* name;
    std::function<void()> act;
  } operations[] = {
      {"Decode", [&] { Click(decode()); }},
      {"a long paste into Text1",
       [&] {
         PostMessageW(text1(), WM_PASTE, 0, 0);
         Pump();
       }},
  };
  for (const auto& operation : operations) {
    SCOPED_TRACE(operation.name);
    const MessageBoxCloser closer;
    {
      const testing::AllocationsFailAbove out_of_memory(4096);
      operation.act();
    }
    ExpectErrorBox(closer.seen(), form_.hwnd(), OutOfMemoryMessage(Language()));
    EXPECT_EQ(Text(text1()), u"keep");
    EXPECT_EQ(Text(text2()), hex);
  }
  Click(encode());
  EXPECT_EQ(Text(text2()), u"6B 65 65 70");
}

TEST_F(Form1Test, EscapeInABoxKeepsTheWindowOpen) {
  Type(text1(), u"Hi");
  SetFocus(text1());
  Press(VK_ESCAPE);
  SetFocus(text2());
  Press(VK_ESCAPE);
  ASSERT_TRUE(IsWindow(form_.hwnd()));
  EXPECT_EQ(Text(text1()), u"Hi");
}

TEST_F(Form1Test, AltF4EndsTheProgram) {
  const HWND hwnd = form_.hwnd();
  PostMessageW(GetFocus(), WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
  bool quit = false;
  for (int i = 0; i < 100 && !quit; ++i) {
    quit = !PumpWaitingMessages(form_);
    if (!quit) Sleep(10);
  }
  EXPECT_TRUE(quit);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(form_.hwnd(), nullptr);
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

// A long paste goes into Text1 in pieces, which undo as one, and is encoded
// once, at the end; neither box stops at the edit control's default limit of
// about 30,000 characters.
TEST_F(Form1Test, LongPasteEncodesOnce) {
  for (const std::size_t n : {1999u, 2000u, 2001u, 4003u, 40000u}) {
    SCOPED_TRACE(n);
    Retype(text1(), u"ab");
    SendMessageW(text1(), EM_EMPTYUNDOBUFFER, 0, 0);  // so that undo takes back the paste alone
    const std::u16string text = Mixed(n);
    ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), text));
    {
      const TextCounts counts(text1());
      Type(text1(), u"\x16");      // Ctrl+V
      EXPECT_EQ(counts.reads, 1);  // Text1_Change read Text1 once, and nothing set it
      EXPECT_EQ(counts.sets, 0);
    }
    EXPECT_EQ(Text(text1()), u"ab" + text);
    EXPECT_EQ(Text(text2()), 字符串加密::TextToHex(u"ab" + text));
    Type(text1(), u"\x1A");  // Ctrl+Z
    EXPECT_EQ(Text(text1()), u"ab");
    EXPECT_EQ(Text(text2()), u"61 62");
  }
}

// The events raised for one window as a whole: value changes, focus,
// selection moves.
HWND g_watched = nullptr;
std::array<int, 3> g_events{};

void CALLBACK CountEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                         DWORD) {
  if (window != g_watched || object != OBJID_CLIENT || child != CHILDID_SELF) return;
  g_events[0] += event == EVENT_OBJECT_VALUECHANGE;
  g_events[1] += event == EVENT_OBJECT_FOCUS;
  g_events[2] += event == EVENT_OBJECT_TEXTSELECTIONCHANGED;
}

// Text2 as a screen reader sees it: a text box named by its frame. Each step
// shows its value, whether it has the focus (and then the system caret at its
// caret), and the events it raised.
TEST_F(Form1Test, Text2IsATextBoxToScreenReaders) {
  const ComApartment com = vantorel::CoInitializeEx(COINIT_APARTMENTTHREADED);
  g_watched = text2();
  const UniqueWinEventHook hook(
      SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_TEXTSELECTIONCHANGED, nullptr, CountEvent,
                      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT));
  ASSERT_TRUE(hook);
  UniqueCom<IAccessible> box;
  ASSERT_EQ(AccessibleObjectFromWindow(text2(), OBJID_CLIENT, IID_IAccessible, box.put_void()),
            S_OK);
  const VARIANT self = AccessibleSelf();
  VARIANT role{};
  ASSERT_EQ(box.get()->get_accRole(self, &role), S_OK);
  EXPECT_EQ(role.vt, VT_I4);
  EXPECT_EQ(role.lVal, ROLE_SYSTEM_TEXT);
  EXPECT_EQ(AccessibleText(box.get(), &IAccessible::get_accName), u"需要解密的内容");
  RECT rect{};
  GetWindowRect(text2(), &rect);
  long left = 0, top = 0, width = 0, height = 0;
  ASSERT_EQ(box.get()->accLocation(&left, &top, &width, &height, self), S_OK);
  EXPECT_EQ((std::array{left, top, left + width, top + height}),
            (std::array{rect.left, rect.top, rect.right, rect.bottom}));
  // The parent is the standard object of the same window.
  UniqueCom<IDispatch> parent;
  ASSERT_EQ(box.get()->get_accParent(parent.put()), S_OK);
  UniqueCom<IAccessible> parent_object;
  ASSERT_EQ(parent.get()->QueryInterface(IID_IAccessible, parent_object.put_void()), S_OK);
  HWND parent_window = nullptr;
  EXPECT_EQ(WindowFromAccessibleObject(parent_object.get(), &parent_window), S_OK);
  EXPECT_EQ(parent_window, text2());

  const struct {
    std::function<void()> act;
    std::u16string value;
    bool focused;
    std::array<int, 3> events;
  } steps[] = {
      {[] {}, u"", true, {0, 0, 0}},
      {[&] { Retype(text1(), u"ab"); }, u"61 62", false, {2, 0, 0}},
      {[&] { SetFocus(text2()); }, u"61 62", true, {0, 1, 0}},
      {[&] { SendMessageW(text2(), EM_SETSEL, 1, 4); }, u"61 62", true, {0, 0, 1}},
      {[&] { Press(VK_RIGHT); }, u"61 62", true, {0, 0, 1}},
      {[&] { Type(text2(), u"x"); }, u"61 62x", true, {1, 0, 1}},
      {[&] { EXPECT_EQ(testing::PutAccessibleValue(box.get(), u"41 42"), S_OK); },
       u"41 42",
       true,
       {1, 0, 1}},
      {[&] {
         ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), u"43 "));
         Type(text2(), u"\x16");  // Ctrl+V
       },
       u"43 41 42",
       true,
       {1, 0, 1}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE("step " + std::to_string(&step - steps + 1));
    g_events = {};
    step.act();
    Pump();
    EXPECT_EQ(AccessibleText(box.get(), &IAccessible::get_accValue), step.value);
    VARIANT state{};
    ASSERT_EQ(box.get()->get_accState(self, &state), S_OK);
    EXPECT_EQ(state.lVal, STATE_SYSTEM_FOCUSABLE | (step.focused ? STATE_SYSTEM_FOCUSED : 0));
    EXPECT_EQ(g_events, step.events);
    if (!step.focused) continue;
    DWORD caret = 0;
    SendMessageW(text2(), EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    const auto at = static_cast<DWORD>(SendMessageW(text2(), EM_POSFROMCHAR, caret, 0));
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &thread));
    EXPECT_EQ(thread.hwndCaret, text2());
    EXPECT_EQ(thread.rcCaret.left, static_cast<short>(LOWORD(at)));
    EXPECT_EQ(thread.rcCaret.top, static_cast<short>(HIWORD(at)));
  }
  EXPECT_EQ(Text(text1()), u"ab");

  // Read-only, it says so and keeps its text.
  SetWindowLongW(text2(), GWL_STYLE, GetWindowLongW(text2(), GWL_STYLE) | ES_READONLY);
  VARIANT state{};
  ASSERT_EQ(box.get()->get_accState(self, &state), S_OK);
  EXPECT_EQ(state.lVal, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_READONLY);
  EXPECT_EQ(testing::PutAccessibleValue(box.get(), u"00"), E_ACCESSDENIED);
  EXPECT_EQ(Text(text2()), u"43 41 42");
}

// Text2's shortcut menu speaks as Text1's, the system's own edit control's:
// the same items, in the user's language, greyed alike (both empty), between
// its own two above and two below (Text2MenuCountsBytesAndCopiesAs).
TEST_F(Form1Test, BothBoxesShortcutMenusAgree) {
  const std::vector<testing::MenuItem> text1_menu = testing::OpenShortcutMenu(text1());
  EXPECT_EQ(text1_menu.size(), 8u);
  const std::vector<testing::MenuItem> text2_menu = testing::OpenShortcutMenu(text2());
  ASSERT_EQ(text2_menu.size(), 12u);
  EXPECT_EQ(std::vector(text2_menu.begin() + 2, text2_menu.end() - 2), text1_menu);
}

// Created, the window takes the screen's DPI (ctest runs this once more in a
// Wine prefix at 144 DPI, VANTOREL_SCREEN_DPI=144): its client area is the
// twips at that DPI, and the controls have the message font for it.
TEST_F(Form1Test, CreatedAtTheScreensDpi) {
  const WindowDc screen = vantorel::GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen->dc, LOGPIXELSY);
  if (const char* expected = std::getenv("VANTOREL_SCREEN_DPI")) {
    ASSERT_EQ(dpi, std::atoi(expected)) << "the Wine prefix's LogPixels (scripts/wine-dpi.sh)";
  }
  EXPECT_EQ(form_.dpi(), static_cast<UINT>(dpi));
  EXPECT_EQ(ClientSizeOf(form_.hwnd()), ClientSize(dpi));
  NONCLIENTMETRICSW metrics{};  // at the screen's DPI
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(text1(), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, metrics.lfMessageFont.lfHeight);
}

// Under another ANSI code page (ctest runs this under LC_ALL=ja_JP.UTF-8, 932,
// and en_US.UTF-8, 1252, from which Wine takes the code page): typing,
// "Encode" and "Decode" give that code page's bytes, and a refused decode
// names it, in the user's language.
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
  if (c == std::end(cases)) GTEST_SKIP() << "code page " << GetACP() << ": ctest runs it in others";
  // "Encode" replaces what was typed into Text2, with nothing for no text.
  Retype(text2(), u"41");
  Click(encode());
  EXPECT_EQ(Text(text2()), u"");
  SetFocus(text1());
  Type(text1(), c->typed);
  EXPECT_EQ(Text(text2()), c->hex);
  Retype(text2(), u"41");
  Click(encode());
  EXPECT_EQ(Text(text2()), c->hex);

  Retype(text2(), c->read);
  Click(decode());
  EXPECT_EQ(Text(text1()), c->text);
  EXPECT_EQ(Text(text2()), c->canonical);

  Retype(text2(), c->refused);
  const MessageBoxCloser closer;
  Click(decode());
  testing::Focus();
  ExpectErrorBox(closer.seen(), form_.hwnd(), DecodeErrorMessage(c->error, c->cp, Language()));
  EXPECT_EQ(Text(text1()), c->text);
  EXPECT_EQ(Text(text2()), c->refused);
}

// Under code page 936, in Chinese, each step chooses an item as the system
// menu does (WM_SYSCOMMAND with its id), types into Text1, or types hex into
// Text2 and clicks "Decode" or "Encode". Then: both boxes; the items, their
// labels, the radio check on the code page in use and the grey on those the
// system lacks (GB18030 under Wine 8: choosing it changes nothing); the
// caption; the balloon, which follows the count while it shows but, hidden
// (before most steps, as after its time), comes back only when Text1 comes
// to hold characters the code page cannot write or another code page is
// chosen while it holds some; the message of a refused decode, which names
// the code page.
TEST_F(Form1Test, EncodingMenuAndBalloon) {
  const char16_t* const labels[] = {
      u"GBK (936) - 系统默认", u"GB18030 (54936)", u"Big5 (950)", u"Shift-JIS (932)", u"UHC (949)",
      u"Windows-1252",         u"UTF-8",           u"UTF-16 LE",  u"UTF-16 BE"};
  const char16_t* const e = u"1 个字符写成了 3F：“é”（U+00E9）。UTF-8 或 UTF-16 可以写出它。";
  const char16_t* const zhong = u"1 个字符写成了 3F：“中”（U+4E2D）。UTF-8 或 UTF-16 可以写出它。";
  const char16_t* const zhong2 =
      u"2 个字符写成了 3F，第一个是“中”（U+4E2D）。UTF-8 或 UTF-16 可以写出它们。";
  const char16_t* const smile = u"1 个字符写成了 3F：“😀”（U+1F600）。UTF-8 或 UTF-16 可以写出它。";
  const 字符串加密::GroupError odd{Reason::kNotText, 3, 6, u"41"},
      lone{Reason::kNotText, 1, 0, u"D8"};
  enum Act { kChoose, kType, kDecode, kEncode };
  const struct {
    Act act;
    int item;  // chosen; for kType, 1 leaves the balloon as it is
    const char16_t *chars, *text1, *text2, *balloon = nullptr;
    const 字符串加密::GroupError* refused = nullptr;
  } steps[] = {
      {kType, 0, u"中é", u"中é", u"D6 D0 A8 A6"},
      {kChoose, 1, nullptr, u"中é", u"D6 D0 A8 A6"},
      {kChoose, 2, nullptr, u"中é", u"A4 A4 3F", e},
      {kChoose, 3, nullptr, u"中é", u"92 86 3F", e},
      {kChoose, 4, nullptr, u"中é", u"F1 E9 3F", e},
      {kChoose, 5, nullptr, u"中é", u"3F E9", zhong},
      {kType, 1, u"中", u"中é中", u"3F E9 3F", zhong2},
      {kType, 0, u"a", u"中é中a", u"3F E9 3F 61"},
      {kEncode, 0, u"41", u"中é中a", u"3F E9 3F 61"},
      {kChoose, 6, nullptr, u"中é中a", u"E4 B8 AD C3 A9 E4 B8 AD 61"},
      {kDecode, 0, u"e4 b8 ad", u"中", u"E4 B8 AD"},
      {kChoose, 7, nullptr, u"中", u"2D 4E"},
      {kDecode, 0, u"2D 4E 41", u"中", u"2D 4E 41", nullptr, &odd},
      {kChoose, 8, nullptr, u"中", u"4E 2D"},
      {kDecode, 0, u"D8 3D 00 41", u"中", u"D8 3D 00 41", nullptr, &lone},
      {kDecode, 0, u"4E 2D D8 3D DE 00", u"中😀", u"4E 2D D8 3D DE 00"},
      {kChoose, 0, nullptr, u"中😀", u"D6 D0 3F 3F", smile},
      {kType, 0, u"\x01\b", u"", u""},
      {kType, 0, u"😀", u"😀", u"3F 3F", smile},
  };
  const HMENU system = GetSystemMenu(form_.hwnd(), FALSE);
  const HMENU menu = GetSubMenu(system, GetMenuItemCount(system) - 1);
  ASSERT_EQ(GetMenuItemCount(menu), 9);
  const auto available = [](int item) {
    return 字符串加密::IsCodePageAvailable(字符串加密::NamedCodePages()[item].cp);
  };
  int checked = 0;
  SetFocus(text1());
  for (const auto& step : steps) {
    SCOPED_TRACE("step " + std::to_string(&step - steps + 1));
    if (form_.balloon() != nullptr && step.item == 0) ShowWindow(form_.balloon(), SW_HIDE);
    const HWND focus = GetFocus();
    const MessageBoxCloser closer;
    if (step.act == kType) Type(text1(), step.chars);
    if (step.act == kChoose) {
      PostMessageW(form_.hwnd(), WM_SYSCOMMAND, GetMenuItemID(menu, step.item), 0);
      Pump();
      if (available(step.item)) checked = step.item;
      EXPECT_EQ(form_.code_page(), 字符串加密::NamedCodePages()[checked].cp);
    }
    EXPECT_TRUE(step.act >= kDecode || GetFocus() == focus);  // the balloon takes no focus
    if (step.act >= kDecode) Retype(text2(), step.chars);
    if (step.act >= kDecode) Click(step.act == kDecode ? decode() : encode());
    testing::Focus();
    EXPECT_EQ(Text(text1()), step.text1);
    EXPECT_EQ(Text(text2()), step.text2);
    for (int i = 0; i < 9; ++i) {
      wchar_t label[64] = {};
      GetMenuStringW(menu, i, label, 64, MF_BYPOSITION);
      EXPECT_EQ(std::u16string(label, label + lstrlenW(label)), labels[i]);
      EXPECT_EQ(
          GetMenuState(menu, i, MF_BYPOSITION) & (MFT_RADIOCHECK | MF_CHECKED | MF_GRAYED),
          MFT_RADIOCHECK | (i == checked ? MF_CHECKED : 0u) | (available(i) ? 0u : MF_GRAYED));
    }
    EXPECT_EQ(Text(form_.hwnd()),
              checked == 0 ? u"Vantorel" : u"Vantorel - " + std::u16string(labels[checked]));
    EXPECT_EQ(form_.balloon() != nullptr ? Text(form_.balloon()) : u"",
              step.balloon ? step.balloon : u"");
    EXPECT_EQ(
        closer.seen().text,
        step.refused ? DecodeErrorMessage(*step.refused, form_.code_page(), Language()) : u"");
  }
}

}  // namespace
}  // namespace vantorel
