// Form1 driven through its real window and message loop.
#include "window/form1.hpp"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "codec/codec.hpp"
#include "tests/window/form1_driver.hpp"
#include "win32/handles.hpp"
#include "window/messages.hpp"

namespace vantorel {
namespace {

using testing::AccessibleSelf;
using testing::AccessibleText;
using testing::Click;
using testing::ExpectErrorBox;
using testing::Form1Test;
using testing::Language;
using testing::MessageBoxCloser;
using testing::Press;
using testing::Pump;
using testing::Text;
using testing::Type;
using Reason = 字符串加密::GroupError::Reason;

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
    Press(form_, VK_TAB);
    EXPECT_EQ(GetFocus(), next);
  }
  const HWND backward[] = {text2(), decode(), encode(), text1(), text2()};
  for (const HWND next : backward) {
    Press(form_, VK_TAB, /*shift=*/true);
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
  Pump(form_);
  SetActiveWindow(form_.hwnd());
  Pump(form_);
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
      Type(form_, text1(), step.chars);
    } else if (step.act == kPaste) {
      ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), step.chars));
      PostMessageW(text1(), WM_PASTE, 0, 0);
      Pump(form_);
    } else {
      Press(form_, step.key);
    }
    EXPECT_EQ(Text(text1()), step.text1);
    EXPECT_EQ(Text(text2()), step.text2);
  }
}

// Counts the text a box is given by the program (Decode's writes replace
// everything, undoably).
struct SetTextCount {
  int count = 0;
};

LRESULT CALLBACK CountSetText(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                              DWORD_PTR data) {
  if (message == WM_SETTEXT || message == EM_REPLACESEL) {
    ++reinterpret_cast<SetTextCount*>(data)->count;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

TEST_F(Form1Test, DecodeFillsText1ThenRewritesText2Once) {
  const struct {
    const char16_t* text1_before;
    const char16_t* typed;
    const char16_t* text1;
    const char16_t* text2;
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
    Retype(text2(), c.typed);
    SetTextCount writes1, writes2;
    SetWindowSubclass(text1(), CountSetText, 1, reinterpret_cast<DWORD_PTR>(&writes1));
    SetWindowSubclass(text2(), CountSetText, 1, reinterpret_cast<DWORD_PTR>(&writes2));
    Click(form_, decode());
    RemoveWindowSubclass(text1(), CountSetText, 1);
    RemoveWindowSubclass(text2(), CountSetText, 1);
    EXPECT_EQ(Text(text1()), c.text1);
    EXPECT_EQ(Text(text2()), c.text2);
    EXPECT_EQ(writes1.count, 1);
    EXPECT_EQ(writes2.count, 1);
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
      {"Decode", [&] { Click(form_, decode()); }},
      {"a long paste into Text1",
       [&] {
         PostMessageW(text1(), WM_PASTE, 0, 0);
         Pump(form_);
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
  Click(form_, encode());
  EXPECT_EQ(Text(text2()), u"6B 65 65 70");
}

TEST_F(Form1Test, EscapeInABoxKeepsTheWindowOpen) {
  Type(form_, text1(), u"Hi");
  SetFocus(text1());
  Press(form_, VK_ESCAPE);
  SetFocus(text2());
  Press(form_, VK_ESCAPE);
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

// Counts the reads of a box's whole text, and its writes as thousands.
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
    int reads = 0;
    SetWindowSubclass(text1(), CountReads, 1, reinterpret_cast<DWORD_PTR>(&reads));
    Type(form_, text1(), u"\x16");  // Ctrl+V
    RemoveWindowSubclass(text1(), CountReads, 1);
    EXPECT_EQ(reads, 1);  // Text1_Change read Text1 once, and nothing set it
    EXPECT_EQ(Text(text1()), u"ab" + text);
    EXPECT_EQ(Text(text2()), 字符串加密::TextToHex(u"ab" + text));
    Type(form_, text1(), u"\x1A");  // Ctrl+Z
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
  IAccessible* found = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(text2(), OBJID_CLIENT, IID_IAccessible,
                                       reinterpret_cast<void**>(&found)),
            S_OK);
  const UniqueCom<IAccessible> box(found);
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
  IDispatch* parent = nullptr;
  ASSERT_EQ(box.get()->get_accParent(&parent), S_OK);
  const UniqueCom<IDispatch> owned_parent(parent);
  HWND parent_window = nullptr;
  IAccessible* parent_object = nullptr;
  ASSERT_EQ(parent->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&parent_object)),
            S_OK);
  const UniqueCom<IAccessible> owned_parent_object(parent_object);
  EXPECT_EQ(WindowFromAccessibleObject(parent_object, &parent_window), S_OK);
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
      {[&] { Press(form_, VK_RIGHT); }, u"61 62", true, {0, 0, 1}},
      {[&] { Type(form_, text2(), u"x"); }, u"61 62x", true, {1, 0, 1}},
      {[&] { EXPECT_EQ(testing::PutAccessibleValue(box.get(), u"41 42"), S_OK); },
       u"41 42",
       true,
       {1, 0, 1}},
      {[&] {
         ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), u"43 "));
         Type(form_, text2(), u"\x16");  // Ctrl+V
       },
       u"43 41 42",
       true,
       {1, 0, 1}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE("step " + std::to_string(&step - steps + 1));
    g_events = {};
    step.act();
    Pump(form_);
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
// its own two above and two below (form1_decode_test).
TEST_F(Form1Test, BothBoxesShortcutMenusAgree) {
  const std::vector<testing::MenuItem> text1_menu = testing::OpenShortcutMenu(text1());
  EXPECT_EQ(text1_menu.size(), 8u);
  const std::vector<testing::MenuItem> text2_menu = testing::OpenShortcutMenu(text2());
  ASSERT_EQ(text2_menu.size(), 12u);
  EXPECT_EQ(std::vector(text2_menu.begin() + 2, text2_menu.end() - 2), text1_menu);
}

}  // namespace
}  // namespace vantorel
