// Form1 driven through its real window and message loop.
#include "window/form1.hpp"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "tests/window/form1_driver.hpp"
#include "win32/handles.hpp"
#include "window/messages.hpp"

namespace vantorel {
namespace {

using testing::AccessibleSelf;
using testing::AccessibleText;
using testing::Click;
using testing::Form1Test;
using testing::MessageBoxCloser;
using testing::Press;
using testing::Pump;
using testing::Text;
using testing::Type;

PixelRect RectInClient(HWND parent, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TEST_F(Form1Test, LayoutAt96Dpi) {
  ASSERT_EQ(form_.dpi(), 96u);
  RECT client{};
  GetClientRect(form_.hwnd(), &client);
  EXPECT_EQ(client.right, 649);
  EXPECT_EQ(client.bottom, 566);
  const struct {
    Control control;
    PixelRect rect;
  } expected[] = {
      {Control::kFrame1, {8, 8, 633, 249}},      {Control::kText1, {24, 24, 601, 225}},
      {Control::kFrame2, {8, 264, 633, 257}},    {Control::kText2, {24, 280, 601, 225}},
      {Control::kCommand1, {408, 528, 105, 33}}, {Control::kCommand2, {528, 528, 105, 33}},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(Design(e.control).name);
    const HWND child = form_.Child(e.control);
    EXPECT_EQ(GetParent(child), form_.hwnd());
    EXPECT_EQ(RectInClient(form_.hwnd(), child), e.rect);
  }
}

TEST_F(Form1Test, WindowFrameAndPlace) {
  const LONG style = GetWindowLongW(form_.hwnd(), GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
  EXPECT_EQ(Text(form_.hwnd()), u"Vantorel");

  RECT window{};
  GetWindowRect(form_.hwnd(), &window);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(form_.hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  EXPECT_NEAR(window.left - work.left, work.right - window.right, 1);
  EXPECT_NEAR(window.top - work.top, work.bottom - window.bottom, 1);
}

TEST_F(Form1Test, ControlsCaptionsStylesAndFont) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  const struct {
    Control control;
    const char16_t* caption;
    LONG style_set;
    LONG style_clear;
  } expected[] = {
      {Control::kFrame1, u"需要加密的内容", BS_GROUPBOX, WS_TABSTOP},
      {Control::kFrame2, u"需要解密的内容", BS_GROUPBOX, WS_TABSTOP},
      {Control::kText1, u"",
       ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
       ES_AUTOHSCROLL | WS_HSCROLL},
      {Control::kText2, u"",
       ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
       ES_AUTOHSCROLL | WS_HSCROLL},
      {Control::kCommand1, u"Encode", WS_TABSTOP, 0},
      {Control::kCommand2, u"Decode", WS_TABSTOP, 0},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(Design(e.control).name);
    const HWND child = form_.Child(e.control);
    EXPECT_EQ(Text(child), e.caption);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    EXPECT_EQ(style & e.style_set, e.style_set);
    EXPECT_EQ(style & e.style_clear, 0);
    LOGFONTW font{};
    const auto hfont = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
    ASSERT_NE(hfont, nullptr);
    ASSERT_NE(GetObjectW(hfont, sizeof font, &font), 0);
    EXPECT_EQ(font.lfHeight, metrics.lfMessageFont.lfHeight);
    EXPECT_EQ(font.lfWeight, metrics.lfMessageFont.lfWeight);
    EXPECT_STREQ(font.lfFaceName, metrics.lfMessageFont.lfFaceName);
  }
  // No limit of about 30,000 characters on either box.
  EXPECT_GE(static_cast<unsigned long>(SendMessageW(text1(), EM_GETLIMITTEXT, 0, 0)), 0x7ffffffeul);
  EXPECT_GE(static_cast<unsigned long>(SendMessageW(text2(), EM_GETLIMITTEXT, 0, 0)), 0x7ffffffeul);
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

TEST_F(Form1Test, CtrlASelectsAll) {
  Type(form_, text1(), u"abc\rdef");
  DWORD start = 1, end = 0;
  Type(form_, text1(), u"\x01");
  SendMessageW(text1(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 8u);
}

TEST_F(Form1Test, EncodeReplacesWhatWasTypedInText2) {
  Type(form_, text1(), u"Hi");
  Type(form_, text2(), u"zz 41");
  EXPECT_EQ(Text(text2()), u"zz 4148 69");  // the caret was at the start
  SendMessageW(encode(), BM_CLICK, 0, 0);
  EXPECT_EQ(Text(text2()), u"48 69");
  EXPECT_EQ(Text(text1()), u"Hi");

  Retype(text1(), u"");
  Type(form_, text2(), u"41");
  Click(form_, encode());
  EXPECT_EQ(Text(text2()), u"");
}

// Counts the text a box is given by the program.
struct SetTextCount {
  int count = 0;
};

LRESULT CALLBACK CountSetText(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                              DWORD_PTR data) {
  if (message == WM_SETTEXT) ++reinterpret_cast<SetTextCount*>(data)->count;
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

struct FaultCase {
  const char16_t* typed;
  const char16_t* chinese;
  const char16_t* english;
  DWORD selection_start, selection_end;
};

const FaultCase kFaults[] = {
    {u"486", u"第 1 组“486”超出一个字节（00 到 FF）。",
     u"Group 1 \"486\" does not fit in a byte (00 to FF).", 0, 3},
    {u" 48 100", u"第 2 组“100”超出一个字节（00 到 FF）。",
     u"Group 2 \"100\" does not fit in a byte (00 to FF).", 4, 7},
    {u"48  69", u"第 2 组（连续两个空格）是零字节，文本框无法容纳。",
     u"Group 2 (two spaces in a row) is a zero byte, which the text box cannot hold.", 3, 3},
    {u"48 00 69", u"第 2 组“00”是零字节，文本框无法容纳。",
     u"Group 2 \"00\" is a zero byte, which the text box cannot hold.", 3, 5},
    {u"zz", u"第 1 组“zz”是零字节，文本框无法容纳。",
     u"Group 1 \"zz\" is a zero byte, which the text box cannot hold.", 0, 2},
    {u"48 69 D6", u"从第 3 组起的字节在代码页 936 中不是文字。",
     u"The bytes from group 3 are not text in code page 936.", 6, 8},
};

TEST_F(Form1Test, RefusedDecodeShowsMessageAndChangesNothing) {
  const bool chinese = LanguageFromLangId(GetUserDefaultUILanguage()) == UiLanguage::kChinese;
  ASSERT_EQ(GetACP(), 936u);
  for (const FaultCase& fault : kFaults) {
    SCOPED_TRACE("fault " + std::to_string(&fault - kFaults + 1));
    Retype(text1(), u"keep");
    Retype(text2(), fault.typed);
    SetFocus(text1());
    const MessageBoxCloser closer;
    Click(form_, decode());
    WaitForFocus();
    const auto& seen = closer.seen();
    ASSERT_EQ(seen.count, 1);
    EXPECT_EQ(seen.caption, u"Vantorel");
    EXPECT_EQ(seen.text, chinese ? fault.chinese : fault.english);
    EXPECT_EQ(seen.owner, form_.hwnd());
    EXPECT_TRUE(seen.error_icon);
    EXPECT_EQ(seen.buttons, 1);
    EXPECT_TRUE(seen.only_ok);

    EXPECT_EQ(Text(text1()), u"keep");
    EXPECT_EQ(Text(text2()), fault.typed);
    DWORD start = 0, end = 0;
    SendMessageW(text2(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, fault.selection_start);
    EXPECT_EQ(end, fault.selection_end);
    EXPECT_EQ(GetFocus(), text2());
  }
  // Still answering, and still encoding.
  DWORD_PTR result = 0;
  EXPECT_NE(SendMessageTimeoutW(form_.hwnd(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result), 0);
  Type(form_, text1(), u"!");
  EXPECT_EQ(Text(text2()), u"6B 65 65 70 21");
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

TEST_F(Form1Test, DpiChangeRelaysOutFromTwips) {
  RECT before{};
  GetWindowRect(form_.hwnd(), &before);
  RECT suggested{before.left, before.top, before.left + 983, before.top + 893};
  SendMessageW(form_.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(form_.dpi(), 144u);
  RECT after{};
  GetWindowRect(form_.hwnd(), &after);
  EXPECT_EQ(after.right - after.left, 983);
  EXPECT_EQ(after.bottom - after.top, 893);
  for (const Control control : kCreationOrder) {
    SCOPED_TRACE(Design(control).name);
    EXPECT_EQ(RectInClient(form_.hwnd(), form_.Child(control)), ControlRect(control, 144));
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(text1(), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, MulDiv(metrics.lfMessageFont.lfHeight, 144, 96));
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

struct WinEventHookTraits {
  using Handle = HWINEVENTHOOK;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { UnhookWinEvent(h); }
};

// Text2 as a screen reader sees it: a text box named by its frame. Each step
// shows its value, whether it has the focus (and then the system caret at its
// caret), and the events it raised.
TEST_F(Form1Test, Text2IsATextBoxToScreenReaders) {
  const ComApartment com;
  g_watched = text2();
  const Unique<WinEventHookTraits> hook(
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

}  // namespace
}  // namespace vantorel
